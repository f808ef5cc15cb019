#pragma once

#include <cstdint>

// Declarations of the archive library's component model as the 7z.so of this platform
// lays it out: plain COM vtables (no virtual destructor in IUnknown), 32-bit result
// codes, 4-byte wchar_t, BSTR = wchar_t* with a 32-bit byte length before the text.

using THResult = int32_t;
using TPropId = uint32_t;
using TBStr = wchar_t*;

struct TGUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
    friend bool operator==(const TGUID&, const TGUID&) = default;
};
static_assert(sizeof(TGUID) == 16);

inline constexpr THResult kS_OK = 0;
inline constexpr THResult kS_FALSE = 1;
inline constexpr THResult kE_NOTIMPL = static_cast<THResult>(0x80004001u);
inline constexpr THResult kE_NOINTERFACE = static_cast<THResult>(0x80004002u);
inline constexpr THResult kE_ABORT = static_cast<THResult>(0x80004004u);
inline constexpr THResult kE_FAIL = static_cast<THResult>(0x80004005u);
inline constexpr THResult kE_OUTOFMEMORY = static_cast<THResult>(0x8007000Eu);
inline constexpr THResult kE_INVALIDARG = static_cast<THResult>(0x80070057u);

// Variant types and property ids used here.
inline constexpr uint16_t kVT_EMPTY = 0;
inline constexpr uint16_t kVT_BSTR = 8;
inline constexpr uint16_t kVT_BOOL = 11;
inline constexpr uint16_t kVT_UI4 = 19;
inline constexpr uint16_t kVT_UI8 = 21;

inline constexpr TPropId kpidPath = 3;
inline constexpr TPropId kpidName = 4;
inline constexpr TPropId kpidIsDir = 6;
inline constexpr TPropId kpidSize = 7;
inline constexpr TPropId kpidSolid = 13;
inline constexpr TPropId kpidMethod = 22;  // a text such as "LZMA2:24 BCJ"
inline constexpr TPropId kpidCharacts = 47;  // a text of flag names, e.g. "UTF8" in zip
inline constexpr TPropId kpidEncrypted = 15;
inline constexpr TPropId kpidSplitBefore = 16;
inline constexpr TPropId kpidSplitAfter = 17;
// Archive properties.
inline constexpr TPropId kpidOffset = 36;
inline constexpr TPropId kpidPhySize = 44;
inline constexpr TPropId kpidHardLink = 90;
inline constexpr TPropId kpidSymLink = 54;
inline constexpr TPropId kpidError = 55;  // text, such as the missing volume
inline constexpr TPropId kpidErrorFlags = 71;
inline constexpr TPropId kpidWarningFlags = 72;
inline constexpr TPropId kpidIsNotArcType = 84;

// Bits of the archive's error and warning flags.
inline constexpr uint32_t kArcFlagIsNotArc = 1u << 0;
inline constexpr uint32_t kArcFlagHeadersError = 1u << 1;
inline constexpr uint32_t kArcFlagEncryptedHeadersError = 1u << 2;
inline constexpr uint32_t kArcFlagUnavailableStart = 1u << 3;
inline constexpr uint32_t kArcFlagUnconfirmedStart = 1u << 4;
inline constexpr uint32_t kArcFlagUnexpectedEnd = 1u << 5;
inline constexpr uint32_t kArcFlagDataAfterEnd = 1u << 6;
inline constexpr uint32_t kArcFlagUnsupportedMethod = 1u << 7;
inline constexpr uint32_t kArcFlagUnsupportedFeature = 1u << 8;
inline constexpr uint32_t kArcFlagDataError = 1u << 9;
inline constexpr uint32_t kArcFlagCrcError = 1u << 10;

struct TPropVariant {
    uint16_t vt = kVT_EMPTY;
    uint16_t wReserved1 = 0;
    uint16_t wReserved2 = 0;
    uint16_t wReserved3 = 0;
    union {
        int16_t boolVal;   // VARIANT_BOOL: -1 true, 0 false
        uint32_t ulVal;
        uint64_t uhVal;
        TBStr bstrVal;
        uint64_t raw = 0;
    };
};
static_assert(sizeof(TPropVariant) == 16);

// System strings as the library allocates and frees them.
TBStr AllocBStr(const wchar_t* text, uint32_t length);
void FreeBStr(TBStr s);
// Frees what the variant holds and leaves it empty.
void ClearPropVariant(TPropVariant& v);

struct IUnknown {
    virtual THResult QueryInterface(const TGUID& iid, void** out) noexcept = 0;
    virtual uint32_t AddRef() noexcept = 0;
    virtual uint32_t Release() noexcept = 0;
protected:
    ~IUnknown() = default;
};

struct ISequentialInStream : IUnknown {
    virtual THResult Read(void* data, uint32_t size, uint32_t* processed) noexcept = 0;
protected:
    ~ISequentialInStream() = default;
};

struct ISequentialOutStream : IUnknown {
    virtual THResult Write(const void* data, uint32_t size, uint32_t* processed) noexcept = 0;
protected:
    ~ISequentialOutStream() = default;
};

struct IInStream : ISequentialInStream {
    virtual THResult Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) noexcept = 0;
protected:
    ~IInStream() = default;
};

struct IOutStream : ISequentialOutStream {
    virtual THResult Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) noexcept = 0;
    virtual THResult SetSize(uint64_t newSize) noexcept = 0;
protected:
    ~IOutStream() = default;
};

struct IStreamGetSize : IUnknown {
    virtual THResult GetSize(uint64_t* size) noexcept = 0;
protected:
    ~IStreamGetSize() = default;
};

struct IOutStreamFlush : IUnknown {
    virtual THResult Flush() noexcept = 0;
protected:
    ~IOutStreamFlush() = default;
};

struct IProgress : IUnknown {
    virtual THResult SetTotal(uint64_t total) noexcept = 0;
    virtual THResult SetCompleted(const uint64_t* completeValue) noexcept = 0;
protected:
    ~IProgress() = default;
};

struct IArchiveOpenCallback : IUnknown {
    virtual THResult SetTotal(const uint64_t* files, const uint64_t* bytes) noexcept = 0;
    virtual THResult SetCompleted(const uint64_t* files, const uint64_t* bytes) noexcept = 0;
protected:
    ~IArchiveOpenCallback() = default;
};

struct IArchiveExtractCallback : IProgress {
    virtual THResult GetStream(uint32_t index, ISequentialOutStream** outStream,
                               int32_t askExtractMode) noexcept = 0;
    virtual THResult PrepareOperation(int32_t askExtractMode) noexcept = 0;
    virtual THResult SetOperationResult(int32_t opRes) noexcept = 0;
protected:
    ~IArchiveExtractCallback() = default;
};

struct IArchiveOpenVolumeCallback : IUnknown {
    virtual THResult GetProperty(TPropId propId, TPropVariant* value) noexcept = 0;
    virtual THResult GetStream(const wchar_t* name, IInStream** inStream) noexcept = 0;
protected:
    ~IArchiveOpenVolumeCallback() = default;
};

struct IArchiveOpenSetSubArchiveName : IUnknown {
    virtual THResult SetSubArchiveName(const wchar_t* name) noexcept = 0;
protected:
    ~IArchiveOpenSetSubArchiveName() = default;
};

struct ICryptoGetTextPassword : IUnknown {
    virtual THResult CryptoGetTextPassword(TBStr* password) noexcept = 0;
protected:
    ~ICryptoGetTextPassword() = default;
};

struct IInArchive : IUnknown {
    virtual THResult Open(IInStream* stream, const uint64_t* maxCheckStartPosition,
                          IArchiveOpenCallback* openCallback) noexcept = 0;
    virtual THResult Close() noexcept = 0;
    virtual THResult GetNumberOfItems(uint32_t* numItems) noexcept = 0;
    virtual THResult GetProperty(uint32_t index, TPropId propId, TPropVariant* value) noexcept = 0;
    virtual THResult Extract(const uint32_t* indices, uint32_t numItems, int32_t testMode,
                             IArchiveExtractCallback* extractCallback) noexcept = 0;
    virtual THResult GetArchiveProperty(TPropId propId, TPropVariant* value) noexcept = 0;
    virtual THResult GetNumberOfProperties(uint32_t* numProps) noexcept = 0;
    virtual THResult GetPropertyInfo(uint32_t index, TBStr* name, TPropId* propId,
                                     uint16_t* varType) noexcept = 0;
    virtual THResult GetNumberOfArchiveProperties(uint32_t* numProps) noexcept = 0;
    virtual THResult GetArchivePropertyInfo(uint32_t index, TBStr* name, TPropId* propId,
                                            uint16_t* varType) noexcept = 0;
protected:
    ~IInArchive() = default;
};

// Handler settings by name ("mt": decoder threads), read when items are extracted.
struct ISetProperties : IUnknown {
    virtual THResult SetProperties(const wchar_t* const* names, const TPropVariant* values,
                                   uint32_t count) noexcept = 0;
protected:
    ~ISetProperties() = default;
};

// Extraction ask modes and per-item operation results.
inline constexpr int32_t kAskExtract = 0;
inline constexpr int32_t kOpResultOK = 0;
inline constexpr int32_t kOpResultUnsupportedMethod = 1;
inline constexpr int32_t kOpResultDataError = 2;
inline constexpr int32_t kOpResultCrcError = 3;
inline constexpr int32_t kOpResultUnavailable = 4;
inline constexpr int32_t kOpResultUnexpectedEnd = 5;
inline constexpr int32_t kOpResultDataAfterEnd = 6;
inline constexpr int32_t kOpResultIsNotArc = 7;
inline constexpr int32_t kOpResultHeadersError = 8;
inline constexpr int32_t kOpResultWrongPassword = 9;

// Published interface ids: {23170F69-40C1-278A-0000-00yy00xx0000}.
constexpr TGUID ArchiveIid(uint8_t group, uint8_t id)
{
    return TGUID{0x23170F69, 0x40C1, 0x278A, {0, 0, 0, group, 0, id, 0, 0}};
}
inline constexpr TGUID IID_IUnknown7z = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr TGUID IID_ISequentialInStream = ArchiveIid(0x03, 0x01);
inline constexpr TGUID IID_ISequentialOutStream = ArchiveIid(0x03, 0x02);
inline constexpr TGUID IID_IInStream = ArchiveIid(0x03, 0x03);
inline constexpr TGUID IID_IOutStream = ArchiveIid(0x03, 0x04);
inline constexpr TGUID IID_IStreamGetSize = ArchiveIid(0x03, 0x06);
inline constexpr TGUID IID_IOutStreamFlush = ArchiveIid(0x03, 0x07);
inline constexpr TGUID IID_IProgress = ArchiveIid(0x00, 0x05);
inline constexpr TGUID IID_ICryptoGetTextPassword = ArchiveIid(0x05, 0x10);
inline constexpr TGUID IID_IArchiveOpenCallback = ArchiveIid(0x06, 0x10);
inline constexpr TGUID IID_IArchiveExtractCallback = ArchiveIid(0x06, 0x20);
inline constexpr TGUID IID_IArchiveOpenVolumeCallback = ArchiveIid(0x06, 0x30);
inline constexpr TGUID IID_IArchiveOpenSetSubArchiveName = ArchiveIid(0x06, 0x50);
inline constexpr TGUID IID_IInArchive = ArchiveIid(0x06, 0x60);
inline constexpr TGUID IID_ISetProperties = ArchiveIid(0x06, 0x03);
