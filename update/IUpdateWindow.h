#pragma once

// What the self-update needs of the main window. The window registers itself
// (SetUpdateWindow), so the update code never names it and links nothing of it.
class IUpdateWindow {
public:
    // Reveals the "Upgrade Setup..." button once a newer build is known.
    virtual void ShowUpdateButton() = 0;
    // Closes the window after the new build has been started.
    virtual void CloseAfterUpdate() = 0;
    // While the update works off the window's thread: everything but Exit waits.
    virtual void SetUpdateBusy(bool busy) = 0;
    // The window was closed (Exit) while the update worked.
    virtual bool UpdateWindowClosed() const = 0;

protected:
    ~IUpdateWindow() = default;
};

// The window the check reveals its button on; null: none (the check then shows nothing).
// Main thread only.
void SetUpdateWindow(IUpdateWindow* window);
IUpdateWindow* UpdateWindow();
