#include "archive/TStagedArchive.h"

#include "archive/EArchiveError.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFilePermissions.h"
#include "platform/TFileStream.h"

#include <unordered_map>

namespace {

TFailReason PlaceFailReason(int error)
{
    const TFailReason r = FailReasonForSystemError(error);
    return r == TFailReason::ArchiveMissing ? TFailReason::Other : r;
}

}  // namespace

TStagedArchive::TStagedArchive(std::string folder) : FFolder(std::move(folder)) {}

std::size_t TStagedArchive::PlacedCount() const
{
    std::lock_guard lock(FMutex);
    return FPlaced.size();
}

void TStagedArchive::BeforeReplace(const std::string&, const std::string&) {}

void TStagedArchive::AfterReplace(const std::string&, const std::string& relativePath, uint64_t size,
                                  const std::string& fingerprint)
{
    std::lock_guard lock(FMutex);
    FPlaced.push_back({relativePath, size, fingerprint});
}

void TStagedArchive::CommitTo(const std::string& targetFolder, IItemReplaceHook* hook,
                              const std::function<void()>& pass)
{
    std::vector<TPlaced> placed;
    {
        std::lock_guard lock(FMutex);
        placed = FPlaced;
    }
    // A name the archive gave twice holds its last copy: it moves once, at its last place.
    std::unordered_map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < placed.size(); ++i)
        last[placed[i].RelativePath] = i;
    std::string ensured;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const TPlaced& p = placed[i];
        if (last[p.RelativePath] != i)
            continue;
        if (pass)
            pass();
        const std::string from = FFolder + p.RelativePath;
        const std::string dest = targetFolder + p.RelativePath;
        // What the extraction refuses to write over, the move refuses too.
        if (DirectoryExists(dest))
            throw EArchiveError("Cannot create file " + dest, TFailReason::Other, p.RelativePath);
        const bool replacing = EntryExists(dest);
        if (replacing && TFileStream::IsReadOnlyFile(dest))
            throw EArchiveError("Cannot create file " + dest, TFailReason::ReadOnly, p.RelativePath);
        const std::string folder = ExtractFilePath(dest);
        std::vector<std::string> made;
        if (folder != ensured && ForceDirectoriesBelow(targetFolder, folder, made)) {  // a failure shows as the move's
            ensured = folder;
            if (hook)
                for (const std::string& m : made)
                    hook->FolderCreated(m);
        }
        // A replaced file keeps the permissions it had, as when extracted over it.
        if (replacing)
            TFilePermissions::CopyPermissionBits(dest, from);
        if (hook)
            hook->BeforeReplace(dest, p.RelativePath);
        if (!TFileStream::ReplaceFile(from, dest))
            throw EArchiveError("Cannot create file " + dest, PlaceFailReason(TFileStream::LastErrorCode()),
                                p.RelativePath);
        if (hook)
            hook->AfterReplace(dest, p.RelativePath, p.Size, p.Fingerprint);
    }
}

void TStagedArchive::Discard()
{
    std::string folder = FFolder;
    while (folder.size() > 1 && folder.back() == PathDelim)
        folder.pop_back();
    DeleteTree(folder);
}
