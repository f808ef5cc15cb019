#include "launcher/TPayloadTrailer.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
uint64_t LoadLe64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}
}

bool TPayloadTrailer::Read(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) < Size)
        return false;
    const uint64_t fileSize = uint64_t(st.st_size);
    uint8_t raw[Size];
    if (::pread(fd, raw, Size, off_t(fileSize - Size)) != ssize_t(Size))
        return false;
    if (std::memcmp(raw, Magic, 16) != 0)
        return false;
    Offset = LoadLe64(raw + 16);
    Packed = LoadLe64(raw + 24);
    Unpacked = LoadLe64(raw + 32);
    std::memcpy(Hash, raw + 40, sizeof Hash);
    const uint64_t end = fileSize - Size;
    return Packed > 0 && Offset <= end && Packed == end - Offset && Unpacked <= MaxUnpacked;
}

std::string TPayloadTrailer::FolderName() const
{
    static const char digits[] = "0123456789abcdef";
    std::string name;
    for (int i = 0; i < 16; ++i) {
        name += digits[Hash[i] >> 4];
        name += digits[Hash[i] & 15];
    }
    return name;
}
