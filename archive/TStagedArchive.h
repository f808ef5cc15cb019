#pragma once

#include "archive/IItemReplaceHook.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// An archive extracted ahead of its turn into a folder of its own on the target's file
// system. Notes each file the extraction puts in place, in that order, with the size and
// fingerprint taken on the bytes' way; at the archive's turn the files move into the target by
// renames in the same order, and the target's hook is told then, as if the extraction had
// written there.
class TStagedArchive final : public IItemReplaceHook {
public:
    // folder: the staging folder (made by the extraction), ending in the delimiter.
    explicit TStagedArchive(std::string folder);

    const std::string& Folder() const { return FFolder; }
    std::size_t PlacedCount() const;

    void BeforeReplace(const std::string& destPath, const std::string& relativePath) override;
    void AfterReplace(const std::string& destPath, const std::string& relativePath, uint64_t size,
                      const std::string& fingerprint) override;

    // Moves every noted file below targetFolder (ending in the delimiter). hook, when given,
    // is told around each one; pass runs before each (a safe point to pause at). Raises
    // EArchiveError, as the extraction would have, for a file that cannot be put there:
    // the files before it stay in the target, the rest in the staging folder.
    void CommitTo(const std::string& targetFolder, IItemReplaceHook* hook, const std::function<void()>& pass);
    // Deletes the staging folder with whatever is still in it.
    void Discard();

private:
    struct TPlaced {
        std::string RelativePath;
        uint64_t Size = 0;
        std::string Fingerprint;
    };

    const std::string FFolder;
    mutable std::mutex FMutex;
    std::vector<TPlaced> FPlaced;
};
