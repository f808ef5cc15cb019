#pragma once

#include "update/TDownloadLimits.h"

#include <string>

class IUpdateWindow;

// Download, unpacking and the swap of the executables, and the two start-up steps that
// finish an update. All of it runs on the main thread. The executable's own names are bare
// file names, so they resolve against the current folder, the program's folder.
class TSelfUpdate {
public:
    static std::string NewUpdateName(const std::string& exeFileName);  // Setup -> Setup.newupdate
    static std::string OldUpdateName(const std::string& exeFileName);
    // The one-line POSIX script that deletes the previous executable by its full path.
    static std::string CleanUpScript(const std::string& oldUpdatePath);

    // How slow and how long the download may be; tests shorten them.
    static TDownloadLimits DownloadLimits;

    // The "Upgrade Setup..." button: asks, downloads, unpacks, swaps, starts the new build
    // and closes the window. Any failure shows the ltUpdateFailed text.
    static void Download(IUpdateWindow& window, const std::string& exeFileName);
    // Writes and starts the clean-up script when a previous executable is left. A build
    // running under one of the update names puts the program back instead and says so.
    static void CleanUp(const std::string& exeFileName);
    // Finishes a swap an earlier run left pending; true when the new build was started.
    static bool Complete(const std::string& exeFileName);

private:
    static bool DownloadAndInstall(IUpdateWindow& window, const std::string& exeFileName);
};
