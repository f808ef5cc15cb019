#pragma once

#include <cstdint>
#include <string>

// A folder whose entries are reached only beneath it: every relative path is resolved from
// the folder's own descriptor, and a path whose resolution would leave the folder (a link
// that leads out, "..") is refused instead of followed. Links that stay inside are followed.
// Where the kernel cannot resolve beneath (before Linux 5.6), no link at all is followed.
class TBeneathFolder {
public:
    enum class TWhere {
        Inside,   // the entry exists, reached beneath the folder
        Missing,  // it does not exist (its folder may not either)
        Outside,  // reaching it would leave the folder
    };

    explicit TBeneathFolder(const std::string& folder);
    ~TBeneathFolder();
    TBeneathFolder(const TBeneathFolder&) = delete;
    TBeneathFolder& operator=(const TBeneathFolder&) = delete;

    bool Valid() const { return FRoot >= 0; }
    // Where relativePath leads; a regular file's size when it is one.
    TWhere Locate(const std::string& relativePath, bool& regular, uint64_t& size) const;
    // A descriptor to read the file, or -1 (errno EXDEV when it lies outside).
    int OpenRead(const std::string& relativePath) const;
    // Deletes the entry itself (a link is removed, never what it names).
    bool Unlink(const std::string& relativePath) const;
    // Removes the folder when it is empty and a folder of its own (not a link).
    bool RemoveEmptyFolder(const std::string& relativePath) const;
    // Puts the file at source in the place of relativePath, making its folders beneath;
    // moved where one file system holds both, else copied (with its mode) and deleted.
    bool MoveInto(const std::string& source, const std::string& relativePath) const;

private:
    // The open folder that holds relativePath's last part, which goes to leaf; -1 with errno.
    int OpenParent(const std::string& relativePath, std::string& leaf, bool create) const;
    int Resolve(int at, const std::string& path, int flags) const;

    int FRoot = -1;
};
