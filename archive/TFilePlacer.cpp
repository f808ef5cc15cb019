#include "archive/TFilePlacer.h"

#include <cerrno>
#include <cstring>

#include "archive/EArchiveError.h"
#include "archive/IItemReplaceHook.h"
#include "archive/ItemPathCheck.h"
#include "archive/WideText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFilePermissions.h"
#include "platform/TFileStream.h"

namespace {
[[noreturn]] void RaiseCannotCreate(const std::string& destPath, TFailReason reason, const std::string& item)
{
    throw EArchiveError("Cannot create file " + destPath, reason, item);
}

TFailReason LastWriteFailReason()
{
    return FailReasonForWriteError(TFileStream::LastErrorCode());
}
}  // namespace

TFilePlacer::TFilePlacer(const std::atomic<bool>& writerFailed) : WriterFailed(writerFailed)
{
}

TFilePlacer::~TFilePlacer()
{
    Discard();
}

void TFilePlacer::Begin(const std::string& folder, IItemReplaceHook* hook, void* observerSender,
                        TArchiveWriteObserverFn observerFn)
{
    Discard();
    Folder = folder;
    ReplaceHook = hook;
    ObserverSender = observerSender;
    ObserverFn = observerFn;
    EnsuredFolder.clear();
    LastItem.clear();
}

void TFilePlacer::EnsureFolder(const std::string& folder)
{
    // The record tells the folders this installation made from the player's own.
    std::vector<std::string> made;
    if (!ForceDirectoriesBelow(Folder, folder, made))
        return;  // a failure shows as the file creation's
    EnsuredFolder = folder;
    if (ReplaceHook)
        for (const std::string& m : made)
            ReplaceHook->FolderCreated(m);
}

void TFilePlacer::Open(const std::string& itemPath, const std::string& relativePath, const std::string& destPath,
                       uint64_t size)
{
    Discard();
    LastItem = itemPath;
    if (WriterFailed)
        return;  // nothing after a failed item is written
    const std::string folder = ExtractFilePath(destPath);
    // Items come folder by folder: a folder made for the last item stands.
    if (folder != EnsuredFolder)
        EnsureFolder(folder);
    auto pending = std::make_unique<TPendingFile>();
    pending->ItemPath = itemPath;
    pending->RelativePath = relativePath;
    pending->DestPath = destPath;
    const bool replacing = EntryExists(destPath);
    if (replacing && DirectoryExists(destPath))
        RaiseCannotCreate(destPath, TFailReason::Other, itemPath);
    if (replacing && TFileStream::IsReadOnlyFile(destPath))
        RaiseCannotCreate(destPath, TFailReason::ReadOnly, itemPath);
    // A file of the item's size may already hold its bytes (the same mod installed again):
    // compare first, from memory only, and write only once they differ.
    uint64_t existingSize = 0;
    std::unique_ptr<TFileStream> existing;
    if (replacing && size > 0)
        existing = TFileStream::OpenExistingFile(destPath, existingSize);
    if (existing && existingSize == size) {
        pending->Existing = std::move(existing);
        pending->ExistingSize = existingSize;
    } else {
        // No temporary name to create and rename away for a new file.
        if (!replacing && LinkingWorks) {
            pending->File = TFileStream::CreateLinkable(folder);
            // Not on this file system (or not allowed): named files from now on, where any
            // real failure shows.
            LinkingWorks = pending->File != nullptr;
        }
        pending->Unnamed = pending->File != nullptr;
        if (!pending->File)
            pending->File = TFileStream::CreateTemp(folder, pending->TempPath);
        if (!pending->File)
            RaiseCannotCreate(destPath, LastWriteFailReason(), itemPath);
    }
    Pending = std::move(pending);
}

void TFilePlacer::Write(const char* data, uint32_t size)
{
    TPendingFile* p = Pending.get();
    if (!p || WriterFailed)
        return;
    if (ObserverFn)
        ObserverFn(ObserverSender);
    if (ReplaceHook) {
        p->Digest.Update(data, size);
        p->Size += size;
    }
    if (p->Existing) {
        if (CompareBuffer.size() < size)
            CompareBuffer.resize(size);
        uint32_t got = 0;
        if (p->Existing->ReadCachedAt(CompareBuffer.data(), size, p->Compared, got) && got == size &&
            std::memcmp(CompareBuffer.data(), data, size) == 0) {
            p->Compared += size;
            return;
        }
        StopComparing(*p);
    }
    p->File->Write(data, size);
}

void TFilePlacer::WriteLink(bool hard, const std::string& target)
{
    if (!hard) {
        if (!target.empty())
            Write(target.data(), static_cast<uint32_t>(target.size()));
        return;
    }
    std::wstring relative;
    std::unique_ptr<TFileStream> source;
    if (MakeSafeRelativePath(SystemToWide(target), relative) && !relative.empty())
        source = TFileStream::OpenRead(Folder + WideToSystem(relative));
    if (!source)
        throw EArchiveError("The file a link names is not in the archive: " + target, TFailReason::DataError,
                            target);
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const uint32_t got = source->Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
        if (got == 0)
            break;
        Write(buffer.data(), got);
    }
}

// The bytes differ after all (or are not in memory): a temporary file gets the part that
// matched, and the item goes on as a new file.
void TFilePlacer::StopComparing(TPendingFile& p)
{
    p.File = TFileStream::CreateTemp(ExtractFilePath(p.DestPath), p.TempPath);
    if (!p.File)
        RaiseCannotCreate(p.DestPath, LastWriteFailReason(), p.ItemPath);
    p.File->CopyFrom(*p.Existing, p.Compared);
    p.Existing.reset();
}

void TFilePlacer::Finish()
{
    std::unique_ptr<TPendingFile> p = std::move(Pending);
    if (!p)
        return;  // never created: its failure is kept already
    if (WriterFailed) {
        DropFiles(*p);
        return;
    }
    try {
        if (p->Existing) {
            if (p->Compared == p->ExistingSize)
                p->Unchanged = true;
            else
                StopComparing(*p);  // the item is shorter than the file there
        }
        if (p->Unchanged)
            p->Existing.reset();
        else if (!p->Unnamed)
            p->File->Close();
    } catch (...) {
        DropFiles(*p);
        throw;
    }
    if (!p->Unnamed)
        p->File.reset();
    // A replaced file keeps the permissions it had (a script stays runnable, a private
    // file private).
    if (!p->Unchanged && !p->Unnamed)
        TFilePermissions::CopyPermissionBits(p->DestPath, p->TempPath);
    // The hook sees a kept file too: it is this installation's file from now on.
    if (ReplaceHook) {
        try {
            ReplaceHook->BeforeReplace(p->DestPath, p->RelativePath);
        } catch (...) {
            DropFiles(*p);
            throw;
        }
    }
    if (p->Unnamed)
        PlaceUnnamedFile(*p);
    else if (!p->Unchanged)
        RenameIntoPlace(*p);
    if (ReplaceHook)
        ReplaceHook->AfterReplace(p->DestPath, p->RelativePath, p->Size, p->Digest.HexDigest());
}

// Links a finished new file into place. Where that cannot be done (a file appeared there
// meanwhile, or names cannot be given through /proc), its bytes go through a temporary
// name and a rename, as for a replaced file.
void TFilePlacer::PlaceUnnamedFile(TPendingFile& p)
{
    if (p.File->LinkAs(p.DestPath)) {
        try {
            p.File->Close();
        } catch (...) {
            // A late write error: the file is not good, and nothing stood there before it.
            p.File.reset();
            DeleteFile(p.DestPath);
            throw;
        }
        p.File.reset();
        return;
    }
    if (TFileStream::LastErrorCode() != EEXIST)
        LinkingWorks = false;
    try {
        std::unique_ptr<TFileStream> named = TFileStream::CreateTemp(ExtractFilePath(p.DestPath), p.TempPath);
        if (!named)
            RaiseCannotCreate(p.DestPath, LastWriteFailReason(), p.ItemPath);
        named->CopyFrom(*p.File, p.File->Size());
        named->Close();
    } catch (...) {
        DropFiles(p);
        throw;
    }
    p.File.reset();
    RenameIntoPlace(p);
}

void TFilePlacer::RenameIntoPlace(TPendingFile& p)
{
    if (TFileStream::ReplaceFile(p.TempPath, p.DestPath))
        return;
    const TFailReason reason = LastWriteFailReason();
    DeleteFile(p.TempPath);
    RaiseCannotCreate(p.DestPath, reason, p.ItemPath);
}

void TFilePlacer::DropFiles(TPendingFile& p) noexcept
{
    p.Existing.reset();
    p.File.reset();
    if (!p.TempPath.empty())
        DeleteFile(p.TempPath);
}

void TFilePlacer::Discard() noexcept
{
    if (!Pending)
        return;
    std::unique_ptr<TPendingFile> p = std::move(Pending);
    DropFiles(*p);
}
