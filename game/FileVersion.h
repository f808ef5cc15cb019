#pragma once

#include <string>

// Version text "major.minor.release.build" of a PE file or of the program's own ELF
// executable; "0.0.0.0" when the file is missing or has no readable record. A bare file
// name is looked up in the program's folder first, then in the current folder.
std::string GetFileVersionStr(const std::string& path);
// The build (fourth) number of the same record; 0 when unknown.
int GetFileBuild(const std::string& path);
