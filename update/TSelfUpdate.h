#pragma once

#include "update/TDownloadLimits.h"

#include <functional>
#include <string>

class IUpdateWindow;
class TStartPipe;

// Download, unpacking and the swap of the executables, and the two start-up steps that
// finish an update. All of it runs on the main thread. The executable's own names are bare
// file names, so they resolve against the current folder, the program's folder. The
// slow part (connect, download, unpack) runs off the window's thread; the window stays
// answerable. One copy at a time changes the program's folder (a lock on it).
class TSelfUpdate {
public:
    static std::string NewUpdateName(const std::string& exeFileName);  // Setup -> Setup.newupdate
    static std::string OldUpdateName(const std::string& exeFileName);
    // The one-line POSIX script that deletes the previous executable by its full path.
    static std::string CleanUpScript(const std::string& oldUpdatePath);

    // How slow and how long the download may be; tests shorten them.
    static TDownloadLimits DownloadLimits;
    // How long a new build has to confirm that it shows its first page.
    static int StartConfirmMs;

    // The "Upgrade Setup..." button: asks, downloads, unpacks, swaps, starts the new build
    // and closes the window once it has shown itself. Any failure shows the ltUpdateFailed
    // text; a new build that ends before it shows is put aside and the old one put back.
    static void Download(IUpdateWindow& window, const std::string& exeFileName);
    // Writes and starts the clean-up script when a previous executable is left. A build
    // running under one of the update names puts the program back instead and says so.
    // False when another copy holds the folder: nothing was done, try again later. A build
    // that has just confirmed its start to the one that holds the folder for it passes
    // lockFolder false.
    static bool CleanUp(const std::string& exeFileName, bool lockFolder = true);
    // Finishes a swap an earlier run left pending; true when the new build was started.
    static bool Complete(const std::string& exeFileName);

private:
    static bool DownloadAndInstall(IUpdateWindow& window, const std::string& exeFileName);
    // Waits for a started build to confirm; false when it ended without.
    static std::function<bool(TStartPipe&)> StartWatch(IUpdateWindow& window);
    static std::function<bool(TStartPipe&)> StartWatch();
};
