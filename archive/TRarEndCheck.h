#pragma once

#include <cstdint>

class THostStream;

// RAR archives carry no central directory: one cut short exactly between two items reads
// as a smaller, intact archive, and the library raises no flag for it. Walking the block
// chain to its end-of-archive block tells the two apart.
class TRarEndCheck {
public:
    // False when the RAR archive starting at start in file stops before its end-of-archive
    // block (cut at a block boundary or inside a block). True when the block chain ends
    // properly, and also when the file holds no RAR signature at start or its headers are
    // encrypted: then the library's own checks are all there is.
    static bool Complete(THostStream& file, uint64_t start);

private:
    static bool WalkRar4(THostStream& file, uint64_t pos, uint64_t size);
    static bool WalkRar5(THostStream& file, uint64_t pos, uint64_t size);
};
