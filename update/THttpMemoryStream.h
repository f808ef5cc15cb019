#pragma once

#include "update/THttpStream.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A body held in memory. The buffer grows with realloc, which moves large blocks by
// remapping pages, so a 100 MB download never needs two copies at once.
class THttpMemoryStream : public THttpStream {
public:
    THttpMemoryStream() = default;
    ~THttpMemoryStream() override;
    THttpMemoryStream(const THttpMemoryStream&) = delete;
    THttpMemoryStream& operator=(const THttpMemoryStream&) = delete;

    void Write(const char* data, std::size_t size) override;
    std::uint64_t Position() const override { return FPosition; }
    // A position past the end is allowed; the gap is zero-filled on the next write.
    void SetPosition(std::uint64_t position) override;
    void Truncate() override;
    void Reserve(std::uint64_t additional) override;
    char* Lend(std::size_t size) override;
    void Commit(std::size_t size) override;

    const char* Data() const { return FData; }
    std::size_t Size() const { return FSize; }
    std::string ToString() const { return std::string(FData ? FData : "", FSize); }
    void Clear();

private:
    void Grow(std::size_t needed);
    void Resize(std::size_t capacity);

    char* FData = nullptr;
    std::size_t FSize = 0;
    std::size_t FCapacity = 0;
    std::size_t FPosition = 0;
};
