#pragma once

#include "launcher/TPayloadTrailer.h"

#include <cstdint>
#include <string>
#include <vector>

struct ZSTD_DCtx_s;

// Decompresses the payload of the portable file into an empty folder. The record stream is
// a list of entries, each a kind byte ('D' folder, 'F' file, 'E' end), the mode, the name's
// length and the data's length (32, 32 and 64 bits, little-endian), the name and the data.
// Every name is checked before use: relative, no "." or ".." part, nothing but folders and
// plain files, so a damaged or hostile file cannot write outside the folder.
class TPayloadUnpacker {
public:
    struct TFile {
        std::string Name;
        uint64_t Size = 0;
    };

    TPayloadUnpacker(int sourceFd, const TPayloadTrailer& trailer);
    ~TPayloadUnpacker();
    TPayloadUnpacker(const TPayloadUnpacker&) = delete;
    TPayloadUnpacker& operator=(const TPayloadUnpacker&) = delete;

    // False with Error() set on a damaged payload or a failed write.
    bool Unpack(int folderFd);
    const std::vector<TFile>& Files() const { return FFiles; }
    const std::string& Error() const { return FError; }

    static bool SafeName(const std::string& name);

private:
    bool Fail(const std::string& what);
    // One step of the decompressor: refills the input, fills the output buffer anew.
    bool Pump();
    // Exactly n bytes of the record stream, or false.
    bool Take(void* to, size_t n);
    bool MakeParents(int folderFd, const std::string& name);
    bool WriteFile(int folderFd, const std::string& name, uint32_t mode, uint64_t size);

    int FSource;
    TPayloadTrailer FTrailer;
    ZSTD_DCtx_s* FStream = nullptr;
    std::vector<uint8_t> FIn;
    std::vector<uint8_t> FOut;
    size_t FInPos = 0, FInEnd = 0;
    size_t FOutPos = 0, FOutEnd = 0;
    uint64_t FPackedRead = 0;
    uint64_t FTaken = 0;
    bool FFrameDone = false;
    std::vector<TFile> FFiles;
    std::string FError;
};
