#pragma once

#include <QString>

// What the installation changes on the window's progress page. Called on the main thread
// only (the worker's synchronised calls). A window torn down while a worker still runs is
// simply no longer updated: bars then read as 0 and every change does nothing.
class IInstallControls {
public:
    enum TBar { MainBar, FileBar };

    virtual ~IInstallControls() = default;

    // A bar's range is 0..max.
    virtual int BarMax(TBar bar) const = 0;
    virtual int BarPosition(TBar bar) const = 0;
    virtual void SetBarRange(TBar bar, int max) = 0;
    virtual void SetBarPosition(TBar bar, int position) = 0;
    // The page that says the installation is done.
    virtual void ShowDonePage() = 0;
    virtual void SetCancelCaption(const QString& text) = 0;
    // The window's close and minimise boxes.
    virtual void SetSystemMenu(bool on) = 0;
    // The failure box: its text, and details that open on request. Shown even when the
    // window has gone.
    virtual void ShowFailure(const QString& text, const QString& details) = 0;
};
