#include "archive/TArchiveChecks.h"

#include <memory>

#include "archive/EArchiveError.h"
#include "archive/TLzma2Blocks.h"
#include "archive/TRarEndCheck.h"
#include "archive/WideText.h"
#include "platform/TFileStream.h"

uint64_t TArchiveChecks::VariantNumber(const TPropVariant& v, bool& present)
{
    present = true;
    if (v.vt == kVT_UI8)
        return v.uhVal;
    if (v.vt == kVT_UI4)
        return v.ulVal;
    present = false;
    return 0;
}

uint64_t TArchiveChecks::Number(IInArchive& archive, TPropId id, bool& present)
{
    TPropVariant v;
    archive.GetArchiveProperty(id, &v);
    const uint64_t n = VariantNumber(v, present);
    ClearPropVariant(v);
    return n;
}

bool TArchiveChecks::IsSolid(IInArchive& archive)
{
    TPropVariant v;
    archive.GetArchiveProperty(kpidSolid, &v);
    const bool solid = v.vt == kVT_BOOL && v.boolVal != 0;
    ClearPropVariant(v);
    return solid;
}

void TArchiveChecks::CheckState(IInArchive& archive, bool haveOpenedSize, uint64_t openedSize)
{
    TPropVariant v;
    archive.GetArchiveProperty(kpidIsNotArcType, &v);
    const bool notArcType = v.vt == kVT_BOOL && v.boolVal != 0;
    ClearPropVariant(v);
    if (notArcType)
        throw EArchiveError("The file is not an archive of its type");

    bool present = false;
    const uint32_t errors = static_cast<uint32_t>(Number(archive, kpidErrorFlags, present));
    const uint32_t warnings = static_cast<uint32_t>(Number(archive, kpidWarningFlags, present));
    // Data after the end or an unconfirmed start leave every item whole; the rest do not.
    const uint32_t harmless = kArcFlagDataAfterEnd | kArcFlagUnconfirmedStart;
    const uint32_t bad = errors | (warnings & ~harmless);
    bool havePhy = false, haveOffset = false;
    const uint64_t phy = Number(archive, kpidPhySize, havePhy);
    const uint64_t offset = Number(archive, kpidOffset, haveOffset);
    if (bad & (kArcFlagUnexpectedEnd | kArcFlagUnavailableStart))
        throw EArchiveError("Unexpected end of archive", TFailReason::Truncated);
    if (bad & kArcFlagEncryptedHeadersError)
        throw EArchiveError("The archive's headers are encrypted", TFailReason::Encrypted);
    if (bad & (kArcFlagHeadersError | kArcFlagDataError | kArcFlagCrcError))
        throw EArchiveError("The archive's headers are damaged", TFailReason::DataError);
    if (bad & kArcFlagIsNotArc)
        throw EArchiveError("The file is not an archive of its type");
    if (bad & kArcFlagUnsupportedMethod)
        throw EArchiveError("The archive uses an unsupported method");
    // Something the library does not know stops its reading there, and the items behind
    // it never show; only an archive it demonstrably read to its end is whole.
    const bool readToEnd = havePhy && haveOpenedSize && phy + (haveOffset ? offset : 0) >= openedSize;
    if ((bad & kArcFlagUnsupportedFeature) && !readToEnd)
        throw EArchiveError("The archive uses a feature this program cannot read", TFailReason::UnsupportedFeature);

    if (havePhy && haveOpenedSize && phy + (haveOffset ? offset : 0) > openedSize)
        throw EArchiveError("Unexpected end of archive", TFailReason::Truncated);
}

bool TArchiveChecks::RarComplete(IInArchive& archive, const std::string& fileName)
{
    std::unique_ptr<TFileStream> file = TFileStream::OpenRead(fileName);
    if (!file)
        return true;
    bool present = false;
    const uint64_t start = Number(archive, kpidOffset, present);
    try {
        return TRarEndCheck::Complete(*file, start);
    } catch (const Exception&) {
        // Unreadable now: the extraction's own reads will say so.
        return true;
    }
}

std::string TArchiveChecks::MissingVolume(IInArchive& archive)
{
    TPropVariant v;
    archive.GetArchiveProperty(kpidError, &v);
    const std::wstring error = v.vt == kVT_BSTR && v.bstrVal ? std::wstring(v.bstrVal) : std::wstring();
    ClearPropVariant(v);
    const std::wstring prefix = L"Missing volume : ";
    if (error.compare(0, prefix.size(), prefix) == 0)
        return WideToSystem(error.substr(prefix.size()));
    return std::string();
}

// The library decodes LZMA2 on every core by default, which only pays for a stream cut
// into blocks; the first packed stream of a 7z (right after its 32-byte signature header)
// shows how its maker cut them. Speed and memory only: a wrong guess decodes the same bytes.
void TArchiveChecks::ChooseDecoderThreads(IInArchive& archive, const std::wstring& firstMethod,
                                          const std::string& fileName)
{
    // Several packed streams (BCJ2) or encrypted ones cannot be read from here.
    if (firstMethod.find(L"LZMA2") == std::wstring::npos || firstMethod.find(L"BCJ2") != std::wstring::npos ||
        firstMethod.find(L"AES") != std::wstring::npos)
        return;
    std::unique_ptr<TFileStream> file = TFileStream::OpenRead(fileName);
    if (!file)
        return;
    bool present = false;
    const uint64_t start = Number(archive, kpidOffset, present);
    TLzma2Blocks::TLayout layout = TLzma2Blocks::TLayout::Unknown;
    try {
        layout = TLzma2Blocks::Scan(*file, start + 32, file->Size());
    } catch (const Exception&) {
    }
    if (layout != TLzma2Blocks::TLayout::OneBlock)
        return;
    ISetProperties* settings = nullptr;
    if (archive.QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(&settings)) != kS_OK || !settings)
        return;
    const wchar_t* names[] = {L"mt"};
    TPropVariant one;
    one.vt = kVT_UI4;
    one.ulVal = 1;
    settings->SetProperties(names, &one, 1);
    settings->Release();
}
