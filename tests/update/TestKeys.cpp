#include "TestKeys.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <stdexcept>

namespace {
std::string Hex(const unsigned char* p, size_t n)
{
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}
}

TestKeys::TestKeys() : FKey(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"))
{
    if (!FKey)
        throw std::runtime_error("Ed25519 key generation failed");
}

TestKeys::~TestKeys()
{
    EVP_PKEY_free(static_cast<EVP_PKEY*>(FKey));
}

std::string TestKeys::PublicKeyHex() const
{
    unsigned char raw[32];
    size_t n = sizeof raw;
    EVP_PKEY_get_raw_public_key(static_cast<EVP_PKEY*>(FKey), raw, &n);
    return Hex(raw, n);
}

std::string TestKeys::SignHex(const std::string& message) const
{
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    unsigned char sig[64];
    size_t n = sizeof sig;
    const bool ok = EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(FKey)) == 1 &&
                    EVP_DigestSign(ctx, sig, &n, reinterpret_cast<const unsigned char*>(message.data()),
                                   message.size()) == 1;
    EVP_MD_CTX_free(ctx);
    if (!ok)
        throw std::runtime_error("signing failed");
    return Hex(sig, n);
}

void TestKeys::WritePrivatePem(const std::string& path) const
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f || PEM_write_PrivateKey(f, static_cast<EVP_PKEY*>(FKey), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw std::runtime_error("cannot write " + path);
    std::fclose(f);
}
