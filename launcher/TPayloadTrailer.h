#pragma once

#include <cstdint>
#include <string>

// The last bytes of the portable file: where its compressed payload lies and what it holds.
// The packer writes it after the payload; the launcher reads it back from its own file.
struct TPayloadTrailer {
    static constexpr char Magic[17] = "SETUP-PAYLOAD-1\n";
    static constexpr uint64_t Size = 16 + 8 * 3 + 32;
    static constexpr uint64_t MaxUnpacked = uint64_t(1) << 30;

    uint64_t Offset = 0;    // first byte of the zstd stream
    uint64_t Packed = 0;    // its length; the trailer follows at once
    uint64_t Unpacked = 0;  // length of the record stream it decompresses to
    uint8_t Hash[32] = {};  // SHA-256 of the packed bytes

    // Reads and checks the trailer at the end of the open file; false when the file carries
    // none or its numbers do not fit the file.
    bool Read(int fd);
    // The cache folder name: the first 16 bytes of the hash in hex.
    std::string FolderName() const;
};
