#pragma once

#include <cstdint>
#include <string>

// What the file system holding a path reports about its space.
struct TFileSystemSpace {
    bool Known = false;     // the file system reports its blocks
    bool ReadOnly = false;
    std::uint64_t Free = 0;  // bytes an ordinary user may still write
    std::uint64_t BlockSize = 0;
};

// Space queries (statvfs, lstat) for the checks made before anything is written.
class TDiskSpace {
public:
    // The file system of the path, or of its nearest existing parent when the path is
    // not there yet. Unknown when nothing can be asked, or the file system reports no blocks.
    static TFileSystemSpace Query(const std::string& path);
    // The size of a regular file (links not followed); false for anything else.
    static bool RegularFileSize(const std::string& path, std::uint64_t& size);
};
