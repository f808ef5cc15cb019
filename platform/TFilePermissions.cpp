#include "platform/TFilePermissions.h"

#include <sys/stat.h>
#include <unistd.h>

bool TFilePermissions::CopyExecuteBits(const std::string& from, const std::string& to)
{
    struct stat src {};
    struct stat dst {};
    if (::stat(from.c_str(), &src) != 0 || ::stat(to.c_str(), &dst) != 0)
        return false;
    const mode_t wanted = (dst.st_mode & 07777) | (src.st_mode & 0111);
    if (wanted == (dst.st_mode & 07777))
        return true;
    return ::chmod(to.c_str(), wanted) == 0;
}

bool TFilePermissions::CopyPermissionBits(const std::string& from, const std::string& to)
{
    struct stat src {};
    if (::stat(from.c_str(), &src) != 0 || !S_ISREG(src.st_mode))
        return false;
    return ::chmod(to.c_str(), src.st_mode & 0777) == 0;
}

bool TFilePermissions::IsExecutable(const std::string& path)
{
    return ::access(path.c_str(), X_OK) == 0;
}
