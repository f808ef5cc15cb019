#pragma once

#include <string>

// Full path of the running executable. Tests replace it to place the program in a folder
// of their own.
// Takes the program file's path from the portable launcher, once, before anything asks.
void AdoptLauncherPath();
std::string ExecutablePath();
void SetExecutablePathOverride(const std::string& path);  // "" restores the real one
// Folder part of the executable's path, ending in the delimiter.
std::string ProgramFolder();
