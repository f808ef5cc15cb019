#pragma once

#include <string>
#include <vector>

// One entry of a folder search.
struct TSearchEntry {
    std::string Name;
    bool IsFolder = false;  // links are followed, as the Windows search reports their target
    bool IsHidden = false;  // the POSIX convention: the name starts with a point
};

// FindFirstFile/FindNextFile over one folder with the mask "*.*". Entries come in the
// order an NTFS folder gives them (by name without regard to case), so the same folder
// always yields the same first file; "." and ".." are never returned.
class TFolderSearch {
public:
    // An unreadable or missing folder yields no entries.
    explicit TFolderSearch(const std::string& folder);

    // False when no entries are left.
    bool Next(TSearchEntry& entry);
    const std::vector<TSearchEntry>& Entries() const { return FEntries; }

    // The name order of the search: true when a sorts before b.
    static bool NameLess(const std::string& a, const std::string& b);
    // The entry of folder named like name: the exact name when it exists, else the first
    // entry (in search order) that differs from it only in case; "" when none.
    static std::string MatchName(const std::string& folder, const std::string& name);

private:
    std::vector<TSearchEntry> FEntries;
    std::size_t FPos = 0;
};
