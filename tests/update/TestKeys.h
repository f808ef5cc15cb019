#pragma once

#include <string>

// Ed25519 key pairs made by OpenSSL for the tests, and signatures in the notice's hex form.
class TestKeys {
public:
    TestKeys();
    ~TestKeys();
    TestKeys(const TestKeys&) = delete;
    TestKeys& operator=(const TestKeys&) = delete;

    std::string PublicKeyHex() const;
    std::string SignHex(const std::string& message) const;
    // Writes the private key as PEM, as `openssl genpkey -algorithm ed25519` does.
    void WritePrivatePem(const std::string& path) const;

private:
    void* FKey;
};
