#include "platform/TSha256.h"

#include "platform/Exception.h"

#include <openssl/evp.h>

namespace {
EVP_MD_CTX* Ctx(void* p)
{
    return static_cast<EVP_MD_CTX*>(p);
}
}

TSha256::TSha256() : FContext(EVP_MD_CTX_new())
{
    if (!FContext)
        throw Exception("SHA-256 is not available");
    Reset();
}

TSha256::~TSha256()
{
    EVP_MD_CTX_free(Ctx(FContext));
}

void TSha256::Reset()
{
    if (EVP_DigestInit_ex(Ctx(FContext), EVP_sha256(), nullptr) != 1)
        throw Exception("SHA-256 is not available");
}

void TSha256::Update(const void* data, std::size_t size)
{
    if (size > 0 && EVP_DigestUpdate(Ctx(FContext), data, size) != 1)
        throw Exception("SHA-256 failed");
}

std::string TSha256::HexDigest() const
{
    // Finished on a copy, so the running sum goes on.
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool ok = copy && EVP_MD_CTX_copy_ex(copy, Ctx(FContext)) == 1 &&
                    EVP_DigestFinal_ex(copy, digest, &length) == 1;
    EVP_MD_CTX_free(copy);
    if (!ok)
        throw Exception("SHA-256 failed");
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}

std::string TSha256::OfBytes(const void* data, std::size_t size)
{
    TSha256 sum;
    sum.Update(data, size);
    return sum.HexDigest();
}
