#pragma once

#include <cstddef>
#include <string>

// SHA-256 and Ed25519 through OpenSSL's libcrypto.
class TUpdateSignature {
public:
    // Lower-case hex of the digest.
    static std::string Sha256Hex(const void* data, std::size_t size);
    // False for a malformed key or signature as well as for a wrong one.
    static bool VerifyEd25519(const std::string& publicKeyHex, const std::string& message,
                              const std::string& signatureHex);
    static bool IsHex(const std::string& text, std::size_t digits);
    // Lower case; "" when text is not all hex digits.
    static std::string NormalizeHex(const std::string& text);
};
