#include "archive/TFileDigest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/TReadOnlyFile.h"

namespace {
struct TMdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

std::string Hex(const unsigned char* digest, unsigned int length)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}
}

bool TFileDigest::Compute(const std::string& path, uint64_t& size, std::string& sha256Hex)
{
    try {
        TReadOnlyFile file(path);
        std::unique_ptr<EVP_MD_CTX, TMdCtxFree> ctx(EVP_MD_CTX_new());
        if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
            return false;
        static constexpr size_t Block = 1 << 20;
        const uint64_t total = file.Size();
        // Most mod files are small: no megabyte to clear for each of them.
        std::vector<unsigned char> buf(static_cast<size_t>(std::min<uint64_t>(Block, std::max<uint64_t>(total, 1))));
        for (uint64_t at = 0; at < total;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(Block, total - at));
            if (!file.ReadAt(at, buf.data(), n) || EVP_DigestUpdate(ctx.get(), buf.data(), n) != 1)
                return false;
            at += n;
        }
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1)
            return false;
        size = total;
        sha256Hex = Hex(digest, length);
        return true;
    } catch (...) {
        return false;
    }
}

std::string TFileDigest::OfBytes(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return {};
    return Hex(digest, length);
}
