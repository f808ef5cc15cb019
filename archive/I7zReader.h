#pragma once

#include <cstdint>
#include <string>

#include "archive/ArchiveInterfaces.h"
#include "archive/TComPtr.h"

class IItemReplaceHook;

class THostStream;

// Callback types. Each answers a 32-bit result code that goes back to the library as it
// is: non-zero stops the running operation. They may be called on a thread of the
// library, not only on the caller's.
using TArchiveProgressFn = int32_t (*)(void* sender, bool isTotal, uint64_t value);
using TArchivePasswordFn = int32_t (*)(void* sender, std::wstring& password);
using TArchiveOutStreamFn = int32_t (*)(void* sender, uint32_t index, ISequentialOutStream** stream);
// Called on the writing thread before each write into a file or stream of the reader, at
// a point where pausing the thread is safe.
using TArchiveWriteObserverFn = void (*)(void* sender);

// {C21B4CC0-049B-4936-80A4-A0A13CF7B569}
inline constexpr TGUID IID_I7zReader = {0xC21B4CC0, 0x049B, 0x4936,
                                        {0x80, 0xA4, 0xA0, 0xA1, 0x3C, 0xF7, 0xB5, 0x69}};

// One archive reader. Every failing operation raises EArchiveError; the reading operations
// expect an archive opened by OpenArchiveFile or OpenArchiveStream. A reader is used by one
// thread at a time.
struct I7zReader : IUnknown {
    virtual void OpenArchiveFile(const std::string& fileName) = 0;
    virtual void OpenArchiveStream(IInStream* stream) = 0;
    // Closes the archive (and its file); the reader may open again.
    virtual void CloseArchive() = 0;
    virtual uint32_t ItemCount() = 0;
    // Item properties; an item without the property reads as "", 0 or false.
    virtual std::wstring ItemPath(uint32_t index) = 0;
    virtual std::wstring ItemName(uint32_t index) = 0;
    virtual uint64_t ItemSize(uint32_t index) = 0;
    virtual bool ItemIsFolder(uint32_t index) = 0;
    virtual TComPtr<IInArchive> LibraryArchive() = 0;
    // One item into hostStream (not owned); testOnly checks it without writing.
    virtual void ExtractItemToStream(uint32_t index, THostStream& hostStream, bool testOnly) = 0;
    // The listed items (or all), each to the stream that fn gives for it.
    virtual void ExtractItemList(const uint32_t* indices, uint32_t count, bool testOnly,
                                 void* sender, TArchiveOutStreamFn fn) = 0;
    virtual void ExtractEveryItem(bool testOnly, void* sender, TArchiveOutStreamFn fn) = 0;
    // Every item below folder under its stored path; existing files are replaced. An item
    // that would land outside folder, a damaged item or a file that cannot be written
    // fails the whole operation; a file is replaced only by a completely good copy.
    virtual void ExtractAllToFolder(const std::string& folder) = 0;
    virtual void SetPasswordSource(void* sender, TArchivePasswordFn fn) = 0;
    virtual void SetPasswordText(const std::wstring& password) = 0;
    virtual void SetProgressSink(void* sender, TArchiveProgressFn fn) = 0;
    virtual void SetWriteObserver(void* sender, TArchiveWriteObserverFn fn) = 0;
    // Told around each file ExtractAllToFolder puts in place; not owned, null for none.
    virtual void SetReplaceHook(IItemReplaceHook* hook) = 0;
    virtual void SetFormatId(const TGUID& id) = 0;
    virtual TGUID GetFormatId() = 0;
protected:
    ~I7zReader() = default;
};

// The caller's reference; dropping the last one destroys the reader, closing its archive
// and unloading its library.
using I7zReaderPtr = TComPtr<I7zReader>;
