#include "launcher/TPayloadUnpacker.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

namespace {
constexpr uint32_t MaxNameLength = 1024;

uint32_t LoadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t LoadLe64(const uint8_t* p)
{
    return uint64_t(LoadLe32(p)) | uint64_t(LoadLe32(p + 4)) << 32;
}
}

TPayloadUnpacker::TPayloadUnpacker(int sourceFd, const TPayloadTrailer& trailer)
    : FSource(sourceFd), FTrailer(trailer), FStream(ZSTD_createDCtx()),
      FIn(ZSTD_DStreamInSize()), FOut(ZSTD_DStreamOutSize())
{
    // The packer uses a long window; refuse anything larger than it does.
    if (FStream)
        ZSTD_DCtx_setParameter(FStream, ZSTD_d_windowLogMax, 27);
}

TPayloadUnpacker::~TPayloadUnpacker()
{
    ZSTD_freeDCtx(FStream);
}

bool TPayloadUnpacker::Fail(const std::string& what)
{
    if (FError.empty())
        FError = what;
    return false;
}

bool TPayloadUnpacker::SafeName(const std::string& name)
{
    if (name.empty() || name.size() > MaxNameLength || name.front() == '/' || name.back() == '/')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return name.find('\0') == std::string::npos;
}

bool TPayloadUnpacker::Pump()
{
    if (FInPos == FInEnd) {
        const uint64_t left = FTrailer.Packed - FPackedRead;
        if (left == 0)
            return Fail("the payload is cut short");
        const size_t want = size_t(std::min<uint64_t>(left, FIn.size()));
        const ssize_t got = ::pread(FSource, FIn.data(), want, off_t(FTrailer.Offset + FPackedRead));
        if (got <= 0)
            return Fail("cannot read the payload: " + std::string(std::strerror(got < 0 ? errno : EIO)));
        FPackedRead += uint64_t(got);
        FInPos = 0;
        FInEnd = size_t(got);
    }
    ZSTD_inBuffer in{FIn.data(), FInEnd, FInPos};
    ZSTD_outBuffer out{FOut.data(), FOut.size(), 0};
    const size_t rc = ZSTD_decompressStream(FStream, &out, &in);
    if (ZSTD_isError(rc))
        return Fail(std::string("the payload is damaged: ") + ZSTD_getErrorName(rc));
    FInPos = in.pos;
    FOutPos = 0;
    FOutEnd = out.pos;
    FFrameDone = rc == 0;
    return true;
}

bool TPayloadUnpacker::Take(void* to, size_t n)
{
    auto* dst = static_cast<uint8_t*>(to);
    if (n > FTrailer.Unpacked - FTaken)
        return Fail("the payload is longer than its trailer says");
    while (n > 0) {
        if (FOutPos < FOutEnd) {
            const size_t k = std::min(n, FOutEnd - FOutPos);
            std::memcpy(dst, FOut.data() + FOutPos, k);
            dst += k;
            FOutPos += k;
            n -= k;
            FTaken += k;
            continue;
        }
        if (FFrameDone)
            return Fail("the payload ends early");
        if (!Pump())
            return false;
    }
    return true;
}

bool TPayloadUnpacker::MakeParents(int folderFd, const std::string& name)
{
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
        if (::mkdirat(folderFd, name.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST)
            return Fail("cannot create " + name.substr(0, slash) + ": " + std::strerror(errno));
    }
    return true;
}

bool TPayloadUnpacker::WriteFile(int folderFd, const std::string& name, uint32_t mode, uint64_t size)
{
    if (!MakeParents(folderFd, name))
        return false;
    const int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            mode_t((mode & 0111) ? 0755 : 0644));
    if (fd < 0)
        return Fail("cannot create " + name + ": " + std::strerror(errno));
    std::vector<uint8_t> buf(1 << 16);
    uint64_t left = size;
    while (left > 0) {
        const size_t k = size_t(std::min<uint64_t>(left, buf.size()));
        if (!Take(buf.data(), k)) {
            ::close(fd);
            return false;
        }
        for (size_t done = 0; done < k;) {
            const ssize_t w = ::write(fd, buf.data() + done, k - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                const int e = w < 0 ? errno : ENOSPC;
                ::close(fd);
                return Fail("cannot write " + name + ": " + std::strerror(e));
            }
            done += size_t(w);
        }
        left -= k;
    }
    if (::close(fd) != 0)
        return Fail("cannot write " + name + ": " + std::strerror(errno));
    FFiles.push_back({name, size});
    return true;
}

bool TPayloadUnpacker::Unpack(int folderFd)
{
    if (!FStream)
        return Fail("out of memory");
    for (;;) {
        uint8_t head[1 + 4 + 4 + 8];
        if (!Take(head, sizeof head))
            return false;
        const char kind = char(head[0]);
        const uint32_t mode = LoadLe32(head + 1);
        const uint32_t nameLength = LoadLe32(head + 5);
        const uint64_t size = LoadLe64(head + 9);
        if (kind == 'E')
            break;
        if (nameLength > MaxNameLength)
            return Fail("the payload holds a name that is too long");
        std::string name(nameLength, '\0');
        if (!Take(name.data(), nameLength))
            return false;
        if (!SafeName(name))
            return Fail("the payload holds an unsafe name");
        if (kind == 'D') {
            if (size != 0 || !MakeParents(folderFd, name + "/"))
                return Fail("the payload holds a bad folder entry");
        } else if (kind == 'F') {
            if (!WriteFile(folderFd, name, mode, size))
                return false;
        } else {
            return Fail("the payload holds an entry of unknown kind");
        }
    }
    if (FTaken != FTrailer.Unpacked)
        return Fail("the payload is shorter than its trailer says");
    // Run the stream to its frame end, where zstd checks the content checksum.
    while (!FFrameDone) {
        if (!Pump())
            return false;
        if (FOutEnd > 0)
            return Fail("the payload is longer than its trailer says");
    }
    if (FOutPos < FOutEnd || FPackedRead != FTrailer.Packed || FInPos != FInEnd)
        return Fail("the payload has bytes after its end");
    return true;
}
