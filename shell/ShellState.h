#pragma once

#include <atomic>
#include <string>

class ThUnPackFiles;

// Process-wide state of the wizard shell, with its fixed initial values.
extern std::string ConfPath;     // "Setup.conf", or the staged copy's full path
extern bool ConfStaged;
extern std::string LibPath;      // "Setup.dll", or the staged copy's full path
extern bool LibStaged;
extern std::string BatPath;      // "DelOldUpdate.bat", or its full path once written
extern std::string WorkFolder;   // temporary path + {GUID}; made only when written to
extern ThUnPackFiles* Installer; // the running unpack worker, never cleared
extern std::atomic<bool> InstallFinished;

// Puts every variable back to its initial value (tests run several windows in one process).
void ResetShellState();
