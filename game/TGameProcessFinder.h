#pragma once

#include <string>
#include <vector>

#include "platform/TProcessList.h"

// A running client of the game.
struct TRunningGame {
    int Pid = 0;
    std::string Name;  // what names it: its executable or the command line's entry
};

// Looks for a running client of one installation: a process whose executable or command
// line names the game's executable. Wine, Proton and Lutris processes carry the Windows
// path of the .exe ("C:\Games\World_of_Tanks\WorldOfTanks.exe"), whose drive cannot be
// mapped back without the process's prefix: those match by the game folder's name and the
// executable's name, without regard to case, as Windows compares them.
class TGameProcessFinder {
public:
    // The executable the game detection found (may be empty) and the target folder; every
    // .exe directly in the target's game folder (the folder holding res_mods, else the
    // target itself) counts as well.
    TGameProcessFinder(const std::string& detectedExe, const std::string& targetFolder);

    const std::vector<std::string>& Executables() const { return FExecutables; }
    // The running clients among the system's processes.
    std::vector<TRunningGame> Find() const;
    std::vector<TRunningGame> FindIn(const std::vector<TProcessInfo>& processes) const;

    // The folder of the game a target below res_mods belongs to, ending in '/'.
    static std::string GameFolderOf(const std::string& targetFolder);

private:
    bool Names(const std::string& text) const;

    std::vector<std::string> FExecutables;
    std::vector<std::string> FWindowsTails;  // "/folder/name.exe", case folded
};
