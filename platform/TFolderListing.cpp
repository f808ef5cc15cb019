#include "platform/TFolderListing.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

std::vector<TFolderEntry> ListFolder(const std::string& path, size_t maxEntries)
{
    std::vector<TFolderEntry> entries;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return entries;
    const std::string base = (!path.empty() && path.back() == '/') ? path : path + '/';
    while (entries.size() < maxEntries) {
        const dirent* e = ::readdir(dir);
        if (!e)
            break;
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        const bool isFolder = ::stat((base + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back({name, isFolder});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const TFolderEntry& a, const TFolderEntry& b) { return a.Name < b.Name; });
    return entries;
}

std::string CanonicalPath(const std::string& path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}
