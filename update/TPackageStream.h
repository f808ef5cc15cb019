#pragma once

#include "update/THttpStream.h"
#include "platform/TSha256.h"

#include <cstdint>
#include <memory>
#include <string>

class TFileStream;

// The downloaded update package: it goes straight to a file that has no name, so memory
// stays flat whatever its size and a run that dies mid-way leaves nothing behind; its
// SHA-256 is summed on the way in.
class TPackageStream : public THttpStream {
public:
    // The file is made in folder ("" is the current folder). Raises EUpdateError.
    explicit TPackageStream(const std::string& folder);
    ~TPackageStream() override;
    TPackageStream(const TPackageStream&) = delete;
    TPackageStream& operator=(const TPackageStream&) = delete;

    // Bytes are only ever appended: a write elsewhere raises.
    void Write(const char* data, std::size_t size) override;
    std::uint64_t Position() const override { return FPosition; }
    void SetPosition(std::uint64_t position) override;
    // Drops everything from the position on; the sum is made again over what stays.
    void Truncate() override;

    std::uint64_t Size() const { return FSize; }
    std::string Sha256Hex() const { return FSum.HexDigest(); }
    // A path that opens the package for reading while this object lives.
    std::string Path() const;

private:
    std::unique_ptr<TFileStream> FFile;
    TSha256 FSum;
    std::uint64_t FPosition = 0;
    std::uint64_t FSize = 0;
};
