#pragma once

#include <string>
#include <vector>

bool FileExists(const std::string& path);       // an existing non-folder entry
bool DirectoryExists(const std::string& path);
// Creates the folder with every missing parent; an existing folder counts as created.
bool ForceDirectories(const std::string& path);
// ForceDirectories, and which folders below root (ending in the delimiter) it made, as paths
// relative to root without a trailing delimiter, parents first.
bool ForceDirectoriesBelow(const std::string& root, const std::string& folder, std::vector<std::string>& made);
bool DeleteFile(const std::string& path);
// Rename that never replaces an existing target (MoveFile semantics).
bool MoveFileNoReplace(const std::string& from, const std::string& to);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
// A second name for an existing file; never replaces what is at newName.
bool HardLink(const std::string& existing, const std::string& newName);
// A full copy of a file under a name that must not exist yet, flushed to the disk before
// it counts as made; for file systems that have no hard links.
bool CopyFileNoReplace(const std::string& from, const std::string& to);
// Both names lead to one and the same file (symbolic links are not followed).
bool SameFile(const std::string& a, const std::string& b);
// An entry of any kind under that name, a dangling symbolic link included.
bool EntryExists(const std::string& path);
// Deletes a folder with everything in it; symbolic links inside are removed, never
// followed. True when nothing is left.
bool DeleteTree(const std::string& path);
// The errno of the last failed call of these functions on this thread.
int LastFileSystemError();
