#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct TFolderEntry {
    std::string Name;
    bool IsFolder = false;  // symbolic links count as what they point to
};

// Entries of a folder other than "." and "..", sorted by name (byte order); at most
// maxEntries of them. Empty when the folder cannot be read.
std::vector<TFolderEntry> ListFolder(const std::string& path, size_t maxEntries = 100000);
// The path with every symbolic link, "." and ".." resolved; "" when it does not exist.
std::string CanonicalPath(const std::string& path);
