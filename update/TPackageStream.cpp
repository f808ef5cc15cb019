#include "update/TPackageStream.h"

#include "platform/TFileStream.h"
#include "update/EUpdateError.h"

#include <algorithm>
#include <vector>

TPackageStream::TPackageStream(const std::string& folder) : FFile(TFileStream::CreateUnnamed(folder))
{
    if (!FFile)
        throw EUpdateError("cannot create the package file: " + TFileStream::LastErrorText());
}

TPackageStream::~TPackageStream() = default;

void TPackageStream::Write(const char* data, std::size_t size)
{
    if (FPosition != FSize)
        throw EUpdateError("the package is written out of order");
    while (size > 0) {
        const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(size, 1u << 30));
        FFile->Write(data, piece);
        FSum.Update(data, piece);
        data += piece;
        size -= piece;
        FPosition += piece;
        FSize = FPosition;
    }
}

void TPackageStream::SetPosition(std::uint64_t position)
{
    FPosition = position;
}

void TPackageStream::Truncate()
{
    if (FPosition >= FSize) {
        FPosition = FSize;
        return;
    }
    FFile->SetSize(FPosition);
    FSize = FPosition;
    FSum.Reset();
    FFile->Seek(0, 0);
    std::vector<char> buffer(1 << 16);
    for (std::uint64_t left = FSize; left > 0;) {
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, buffer.size()));
        const std::uint32_t got = FFile->Read(buffer.data(), want);
        if (got == 0)
            throw EUpdateError("the package file is shorter than written");
        FSum.Update(buffer.data(), got);
        left -= got;
    }
    FFile->Seek(static_cast<std::int64_t>(FSize), 0);
}

std::string TPackageStream::Path() const
{
    return FFile->Path();
}
