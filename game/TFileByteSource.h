#pragma once

#include "game/TByteSource.h"
#include "platform/TReadOnlyFile.h"

#include <string>

// A regular file read in place; raises Exception when it cannot be opened.
class TFileByteSource final : public TByteSource {
public:
    explicit TFileByteSource(const std::string& path);
    uint64_t Size() const override;
    bool ReadAt(uint64_t offset, void* dst, size_t len) const override;

private:
    TReadOnlyFile File;
};
