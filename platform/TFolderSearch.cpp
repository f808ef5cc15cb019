#include "platform/TFolderSearch.h"

#include "platform/Paths.h"

#include <QString>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace {
// NTFS compares names through its upcase table, code unit by code unit.
QString UpcaseKey(const std::string& name)
{
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toUpper();
}

bool IsDotEntry(const char* name)
{
    return (name[0] == '.' && name[1] == '\0') || (name[0] == '.' && name[1] == '.' && name[2] == '\0');
}
}

TFolderSearch::TFolderSearch(const std::string& folder)
{
    const std::string dirPath = IncludeTrailingPathDelimiter(folder);
    DIR* dir = ::opendir(dirPath.c_str());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        if (IsDotEntry(e->d_name))
            continue;
        TSearchEntry entry;
        entry.Name = e->d_name;
        struct stat st {};
        entry.IsFolder = ::stat((dirPath + entry.Name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entry.IsHidden = entry.Name[0] == '.';
        FEntries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(FEntries.begin(), FEntries.end(),
              [](const TSearchEntry& a, const TSearchEntry& b) { return NameLess(a.Name, b.Name); });
}

bool TFolderSearch::Next(TSearchEntry& entry)
{
    if (FPos >= FEntries.size())
        return false;
    entry = FEntries[FPos++];
    return true;
}

bool TFolderSearch::NameLess(const std::string& a, const std::string& b)
{
    const int c = UpcaseKey(a).compare(UpcaseKey(b), Qt::CaseSensitive);
    if (c != 0)
        return c < 0;
    // Names equal but for case cannot share an NTFS folder; keep their order fixed anyway.
    return a < b;
}

std::string TFolderSearch::MatchName(const std::string& folder, const std::string& name)
{
    if (name.empty())
        return {};
    struct stat st {};
    if (::lstat((IncludeTrailingPathDelimiter(folder) + name).c_str(), &st) == 0)
        return name;
    const QString key = UpcaseKey(name);
    TFolderSearch search(folder);
    TSearchEntry e;
    while (search.Next(e))
        if (UpcaseKey(e.Name) == key)
            return e.Name;
    return {};
}
