#include "platform/TDiskSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>

TFileSystemSpace TDiskSpace::Query(const std::string& path)
{
    TFileSystemSpace r;
    std::string p = path.empty() ? std::string(".") : path;
    struct statvfs vfs {};
    while (::statvfs(p.c_str(), &vfs) != 0) {
        if ((errno != ENOENT && errno != ENOTDIR) || p == "/" || p == ".")
            return r;
        // A folder the installation would create: its nearest existing parent decides.
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        const auto slash = p.rfind('/');
        if (slash == std::string::npos)
            p = ".";
        else
            p.erase(slash == 0 ? 1 : slash);
    }
    r.ReadOnly = (vfs.f_flag & ST_RDONLY) != 0;
    const std::uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (vfs.f_blocks == 0 || unit == 0)
        return r;  // proc-like file systems, some FUSE mounts
    r.Known = true;
    r.BlockSize = unit;
    r.Free = static_cast<std::uint64_t>(vfs.f_bavail) * unit;
    return r;
}

bool TDiskSpace::RegularFileSize(const std::string& path, std::uint64_t& size)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}
