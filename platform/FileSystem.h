#pragma once

#include <string>

bool FileExists(const std::string& path);       // an existing non-folder entry
bool DirectoryExists(const std::string& path);
// Creates the folder with every missing parent; an existing folder counts as created.
bool ForceDirectories(const std::string& path);
bool DeleteFile(const std::string& path);
// Rename that never replaces an existing target (MoveFile semantics).
bool MoveFileNoReplace(const std::string& from, const std::string& to);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
