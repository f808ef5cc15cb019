#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/I7zReader.h"
#include "platform/TXxh3.h"

class IItemReplaceHook;
class TFileStream;

// The writer thread's side of an extraction to a folder: each item's file is created,
// written, compared and put in place here, one item at a time, in item order. Failures
// are raised; the caller keeps them in the extraction's failure slot.
//
// An item's file is a temporary file beside its destination, renamed over it only when
// the library reports the item good. While the data matches a file already at the
// destination, nothing is written: an item that turns out the same keeps that file as it
// is. A new file is written without a name and linked into place once good.
class TFilePlacer {
public:
    // writerFailed: set once an item failed; nothing after it is written.
    explicit TFilePlacer(const std::atomic<bool>& writerFailed);
    ~TFilePlacer();
    TFilePlacer(const TFilePlacer&) = delete;
    TFilePlacer& operator=(const TFilePlacer&) = delete;

    // Before an extraction into folder (ending in a delimiter).
    void Begin(const std::string& folder, IItemReplaceHook* hook, void* observerSender,
               TArchiveWriteObserverFn observerFn);
    // The next item's file; itemPath as the archive names it, relativePath below the folder.
    void Open(const std::string& itemPath, const std::string& relativePath, const std::string& destPath,
              uint64_t size);
    void Write(const char* data, uint32_t size);
    // A link entry's content: a symbolic link's target as text, a hard link a copy of the
    // file it names (placed before it, below the folder).
    void WriteLink(bool hard, const std::string& target);
    // The item is good: its file replaces the destination, or the destination is kept
    // when it holds the same bytes.
    void Finish();
    bool HasPending() const noexcept { return Pending != nullptr; }
    // The item being written last, for failures that do not name one.
    const std::string& CurrentItem() const noexcept { return LastItem; }
    void Discard() noexcept;

private:
    struct TPendingFile {
        std::string ItemPath;      // as the archive names it, for messages
        std::string RelativePath;  // below the destination folder
        std::string TempPath;
        std::string DestPath;
        std::unique_ptr<TFileStream> File;
        std::unique_ptr<TFileStream> Existing;  // being compared against, not yet written
        uint64_t ExistingSize = 0;
        uint64_t Compared = 0;
        bool Unchanged = false;  // nothing to rename: the destination already holds these bytes
        bool Unnamed = false;    // File has no name yet: it is linked into place when good
        // What the item gave, for the replace hook.
        TXxh3 Digest;
        uint64_t Size = 0;
    };

    // Makes the item's folder, telling the replace hook which ones it made.
    void EnsureFolder(const std::string& folder);
    void StopComparing(TPendingFile& p);
    void PlaceUnnamedFile(TPendingFile& p);
    void RenameIntoPlace(TPendingFile& p);
    static void DropFiles(TPendingFile& p) noexcept;

    const std::atomic<bool>& WriterFailed;
    std::string Folder;
    IItemReplaceHook* ReplaceHook = nullptr;
    void* ObserverSender = nullptr;
    TArchiveWriteObserverFn ObserverFn = nullptr;
    std::unique_ptr<TPendingFile> Pending;
    std::string LastItem;
    std::vector<char> CompareBuffer;  // for reading a file already there
    std::string EnsuredFolder;        // the folder made for the last item
    bool LinkingWorks = true;         // new files can be linked into place here
};
