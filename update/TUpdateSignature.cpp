#include "update/TUpdateSignature.h"

#include "platform/TSha256.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

namespace {
bool HexToBytes(const std::string& hex, std::vector<unsigned char>& out)
{
    if (hex.size() % 2 != 0)
        return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const std::string pair = TUpdateSignature::NormalizeHex(hex.substr(i, 2));
        if (pair.empty())
            return false;
        out.push_back(static_cast<unsigned char>(std::stoi(pair, nullptr, 16)));
    }
    return true;
}

struct TPKeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct TMdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
}

bool TUpdateSignature::IsHex(const std::string& text, std::size_t digits)
{
    return text.size() == digits && !NormalizeHex(text).empty();
}

std::string TUpdateSignature::NormalizeHex(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return {};
        out += c;
    }
    return out;
}

std::string TUpdateSignature::Sha256Hex(const void* data, std::size_t size)
{
    return TSha256::OfBytes(data, size);
}

bool TUpdateSignature::VerifyEd25519(const std::string& publicKeyHex, const std::string& message,
                                     const std::string& signatureHex)
{
    std::vector<unsigned char> key;
    std::vector<unsigned char> signature;
    if (!IsHex(publicKeyHex, 64) || !IsHex(signatureHex, 128) || !HexToBytes(publicKeyHex, key) ||
        !HexToBytes(signatureHex, signature))
        return false;
    std::unique_ptr<EVP_PKEY, TPKeyFree> pkey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    if (!pkey)
        return false;
    std::unique_ptr<EVP_MD_CTX, TMdCtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), signature.data(), signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}
