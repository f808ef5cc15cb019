#pragma once

#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

#include <functional>

// The controls of the main window that the installation's synchronised calls change. Guarded
// pointers: a window torn down while a worker still runs is simply no longer updated.
struct TInstallControls {
    QPointer<QProgressBar> PBMain;
    QPointer<QProgressBar> PBFile;
    QPointer<QStackedWidget> PCFrames;
    QPointer<QPushButton> BCancel;
    std::function<void(bool)> SetSystemMenu;  // the window's close and minimise boxes
};
