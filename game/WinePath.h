#pragma once

#include <string>

// The file a Windows path ("C:\Games\...\WorldOfTanks.exe") names inside a Wine prefix:
// the drive through the prefix's dosdevices/ links (drive_c/ for C: when they are
// missing), then each component matched as Windows matches it, without regard to case.
// "" when the path is not absolute or some component does not exist.
std::string MapWindowsPath(const std::string& prefix, const std::string& windowsPath);
