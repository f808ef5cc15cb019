#pragma once

#include <cstdint>
#include <string>

// Told around the one moment an extracted item's finished file takes the place of its
// destination. Calls may come from any thread of an extraction, so implementations guard
// their own state. relativePath is the item's path below the destination folder.
class IItemReplaceHook {
public:
    // Before the destination (which may or may not exist) is replaced. Raising stops the
    // extraction with the error's text, and the destination stays as it was.
    virtual void BeforeReplace(const std::string& destPath, const std::string& relativePath) = 0;
    // After the new file is in place; size and fingerprint (TFileDigest's, lower-case hex)
    // describe the bytes the item gave, so nothing needs to read the file back.
    virtual void AfterReplace(const std::string& destPath, const std::string& relativePath, uint64_t size,
                              const std::string& fingerprint) = 0;

    // A folder below the destination that the extraction made for an item (relativePath
    // without a trailing delimiter); made folders are told parent first.
    virtual void FolderCreated(const std::string& relativePath) { (void)relativePath; }

protected:
    ~IItemReplaceHook() = default;
};
