// Arbitrary bytes as a 7z and as a zip through the real library: open, list, extract to
// memory. Any outcome but a crash, a hang or a sanitizer report is fine.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "archive/ArchiveBinding.h"
#include "archive/ItemPathCheck.h"
#include "archive/T7zStream.h"
#include "archive/TLzma2Blocks.h"
#include "archive/TRarEndCheck.h"
#include "archive/WideText.h"
#include "platform/THostStream.h"

namespace {

class TInput : public THostStream {
public:
    TInput(const uint8_t* d, size_t n) : Data(d), Len(n) {}
    uint32_t Read(void* out, uint32_t size) override
    {
        const size_t n = Pos >= Len ? 0 : std::min<size_t>(size, Len - Pos);
        std::memcpy(out, Data + Pos, n);
        Pos += n;
        return static_cast<uint32_t>(n);
    }
    void Write(const void*, uint32_t) override { throw std::runtime_error("read-only"); }
    uint64_t Seek(int64_t offset, uint32_t origin) override
    {
        const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(Pos) : static_cast<int64_t>(Len);
        if (origin > 2 || base + offset < 0)
            throw std::runtime_error("bad seek");
        Pos = static_cast<size_t>(base + offset);
        return Pos;
    }
    uint64_t Size() override { return Len; }
    void SetSize(uint64_t) override { throw std::runtime_error("read-only"); }

private:
    const uint8_t* Data;
    size_t Len;
    size_t Pos = 0;
};

// Counts what is written; a bomb stops at a cap instead of filling memory.
class TSink : public THostStream {
public:
    uint32_t Read(void*, uint32_t) override { return 0; }
    void Write(const void*, uint32_t size) override
    {
        Written += size;
        if (Written > (64u << 20))
            throw std::runtime_error("output cap");
    }
    uint64_t Seek(int64_t, uint32_t) override { return Written; }
    uint64_t Size() override { return Written; }
    void SetSize(uint64_t) override {}
    uint64_t Written = 0;
};

int32_t GiveSink(void* sender, uint32_t, ISequentialOutStream** stream)
{
    auto* adapter = new T7zStream(static_cast<TSink*>(sender), TStreamOwnership::Borrowed);
    adapter->AddRef();
    *stream = static_cast<ISequentialOutStream*>(adapter);
    return 0;
}

void Probe(I7zReader& reader, const uint8_t* data, size_t size)
{
    TInput input(data, size);
    TComPtr<T7zStream> stream(new T7zStream(&input, TStreamOwnership::Borrowed));
    try {
        reader.OpenArchiveStream(static_cast<IInStream*>(stream.Get()));
        const uint32_t count = reader.ItemCount();
        std::wstring rel;
        for (uint32_t i = 0; i < count && i < 1000; ++i) {
            MakeSafeRelativePath(reader.ItemPath(i), rel);
            reader.ItemIsFolder(i);
            reader.ItemSize(i);
        }
        TSink sink;
        reader.ExtractEveryItem(false, &sink, GiveSink);
    } catch (const EArchiveError&) {
    }
    reader.CloseArchive();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static I7zReaderPtr sevenZip = CreateArchiveReader(CLSID_Format7z, SETUP_FUZZ_7Z_LIBRARY);
    static I7zReaderPtr zip = CreateArchiveReader(CLSID_FormatZip, SETUP_FUZZ_7Z_LIBRARY);
    Probe(*sevenZip, data, size);
    Probe(*zip, data, size);
    // The RAR block walk, on the bytes as they are and behind both signatures.
    for (const char* sig : {"", "Rar!\x1A\x07\x00", "Rar!\x1A\x07\x01\x00"}) {
        std::string bytes(sig, sig[0] ? (sig[6] == 0 ? 7 : 8) : 0);
        bytes.append(reinterpret_cast<const char*>(data), size);
        TInput rar(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        TRarEndCheck::Complete(rar, 0);
    }
    // The LZMA2 chunk walk on the bytes as they are.
    TInput lzma2(data, size);
    TLzma2Blocks::Scan(lzma2, 0, size);
    // The path check and the text conversion on their own.
    std::wstring rel;
    const std::wstring wide = SystemToWide(std::string(reinterpret_cast<const char*>(data), size));
    if (MakeSafeRelativePath(wide, rel)) {
        // An accepted path never climbs out and never starts at the root.
        if (!rel.empty() && (rel[0] == L'/' || rel[0] == L'\\'))
            __builtin_trap();
        size_t start = 0;
        while (start <= rel.size()) {
            size_t end = rel.find(L'/', start);
            if (end == std::wstring::npos)
                end = rel.size();
            if (rel.compare(start, end - start, L"..") == 0 && end - start == 2)
                __builtin_trap();
            start = end + 1;
        }
    }
    WideToSystem(wide);
    return 0;
}
