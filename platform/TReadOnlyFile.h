#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A regular file opened for reading only, read at absolute offsets. Others may read and
// write it meanwhile. Devices and pipes are refused, so a hostile path cannot block or
// stream without end.
class TReadOnlyFile {
public:
    // Raises Exception when the file cannot be opened or is not a regular file.
    explicit TReadOnlyFile(const std::string& path);
    ~TReadOnlyFile();
    TReadOnlyFile(const TReadOnlyFile&) = delete;
    TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

    uint64_t Size() const { return FileSize; }
    // Exactly len bytes at offset; false when they are not all there or the read fails.
    bool ReadAt(uint64_t offset, void* dst, size_t len) const;

    // The whole file; raises Exception when it is unreadable or larger than maxBytes.
    static std::string ReadWhole(const std::string& path, size_t maxBytes);

private:
    int Fd = -1;
    uint64_t FileSize = 0;
};
