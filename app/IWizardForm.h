#pragma once

#include "archive/tFilesArray.h"

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QWidget;
class TCheckTreeView;

// What the page parts (files page, progress page, record controls) need of the main window:
// its controls and three of its services, and nothing of the form class itself.
class IWizardForm {
public:
    struct TControls {
        QWidget* Window = nullptr;
        QStackedWidget* Pages = nullptr;
        int DonePage = 0;
        QWidget* FilesPage = nullptr;
        QWidget* PathPage = nullptr;
        QLabel* FilesHeading = nullptr;
        TCheckTreeView* Tree = nullptr;
        QCheckBox* HideInaccessible = nullptr;
        QWidget* BusyPanel = nullptr;
        QLineEdit* Folder = nullptr;
        QProgressBar* MainBar = nullptr;
        QProgressBar* FileBar = nullptr;
        QPushButton* Cancel = nullptr;
    };

    virtual const TControls& Controls() const = 0;
    // Geometry of the reference layout (120 ppi) scaled to the screen.
    virtual int Scaled(int v) const = 0;
    // The checked archives in tree order, as the installation gets them.
    virtual tFilesArray CheckedItemList() const = 0;
    // The game's executable as the detection found it; empty before the path page.
    virtual std::string GameExePath() const = 0;
    // The window's system menu (close and minimise boxes) on or off.
    virtual void SetSystemMenu(bool on) = 0;

protected:
    ~IWizardForm() = default;
};
