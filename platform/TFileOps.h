#pragma once

#include <cstdint>
#include <string>

// File operations of the install record: keeping copies of files, writing whole files so
// that a reader sees the old or the new content and never half of it, and tidying folders.
class TFileOps {
public:
    // Makes to a second name of from (a hard link) when from has no other name, else (or
    // where the file systems differ) a copy with from's permission bits. For a file that is
    // only ever replaced by renaming, both keep its content. to must not exist.
    static bool LinkOrCopy(const std::string& from, const std::string& to);
    // Copies from to to through a temporary file in to's folder, replacing to; the copy
    // gets from's permission bits.
    static bool CopyReplacing(const std::string& from, const std::string& to);
    // Writes bytes to a temporary file beside path and renames it over path, so a reader
    // finds the old content or the new, never a mixture.
    static bool WriteWholeFile(const std::string& path, const std::string& bytes);
    // Removes the folder when it is empty; false when it is not or cannot be removed.
    static bool RemoveEmptyFolder(const std::string& path);
    // The size of a regular file (links followed); false for anything else.
    static bool RegularFileSize(const std::string& path, uint64_t& size);
    // Whether anything (a file, folder or link, even a dangling one) has this name.
    static bool EntryExists(const std::string& path);
};
