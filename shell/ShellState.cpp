#include "shell/ShellState.h"

std::string ConfPath = "Setup.conf";
bool ConfStaged = false;
std::string LibPath = "Setup.dll";
bool LibStaged = false;
std::string BatPath = "DelOldUpdate.bat";
std::string WorkFolder;
ThUnPackFiles* Installer = nullptr;
std::atomic<bool> InstallFinished{false};

void ResetShellState()
{
    ConfPath = "Setup.conf";
    ConfStaged = false;
    LibPath = "Setup.dll";
    LibStaged = false;
    BatPath = "DelOldUpdate.bat";
    WorkFolder.clear();
    Installer = nullptr;
    InstallFinished = false;
}
