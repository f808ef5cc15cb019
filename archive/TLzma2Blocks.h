#pragma once

#include <cstdint>

class THostStream;

// How an LZMA2 stream is cut. A stream made in one piece gains nothing from the library's
// multi-threaded decoder, which first fills a buffer of up to four dictionaries before it
// writes a byte: on one thread the same stream decodes faster, streaming, in a fraction of
// the memory. Streams cut into blocks (a dictionary reset after the first chunk) do gain.
class TLzma2Blocks {
public:
    enum class TLayout { OneBlock, SeveralBlocks, Unknown };

    // Walks the chunk headers from pos, no further than end and than the unpacked span a
    // block of the largest dictionary could have. Unknown when the bytes there are not an
    // LZMA2 chunk chain (or cannot be read).
    static TLayout Scan(THostStream& file, uint64_t pos, uint64_t end);
};
