#pragma once

#include <cstdint>
#include <string>

#include "archive/ArchiveInterfaces.h"

// What the library says of the items of an opened archive, read one property at a time.
// A view: it holds the archive only while the reader that made it does.
class TItemProperties {
public:
    // fileName is the opened archive file (empty for a caller's stream); libraryReadsUtf8
    // how the library read 8-bit zip names when it was loaded.
    TItemProperties(IInArchive& archive, const TGUID& formatId, const std::string& fileName, bool libraryReadsUtf8);

    uint32_t Count() const;
    std::wstring Path(uint32_t index) const;
    std::wstring Name(uint32_t index) const;
    uint64_t Size(uint32_t index) const;
    bool IsFolder(uint32_t index) const;
    bool Flag(uint32_t index, TPropId propId) const;
    // The compression method as the library names it, e.g. "LZMA2:24 BCJ".
    std::wstring Method(uint32_t index) const;
    // The decoder memory the item's method implies.
    uint64_t DecoderMemory(uint32_t index) const;
    // The item's path for messages; "item N" when it has none.
    std::string Label(uint32_t index) const noexcept;
    // A RAR5 link entry: its target, and whether it is a hard link.
    bool Link(uint32_t index, bool& hard, std::string& target) const;
    // The value as the library gives it, empty for an index past the last item.
    void Read(uint32_t index, TPropId propId, TPropVariant& value) const;

private:
    static uint32_t ReadCount(IInArchive& archive);
    std::wstring ReadText(uint32_t index, TPropId propId) const;
    std::wstring Text(uint32_t index, TPropId propId) const;
    bool UnicodePathRejected(uint32_t index) const;

    IInArchive& Archive;
    const uint32_t ItemTotal;  // read once: every property read is bounded by it
    const TGUID FormatId;
    const std::string& FileName;
    const bool LibraryReadsUtf8;
};
