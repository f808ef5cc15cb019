#pragma once

#include <string>

// The update server and the key its notices are signed with, both fixed at build time.
// Tests place a server of their own on a free port through the overrides.
class TUpdateServer {
public:
    static inline const char* BuildPath = "/pub/OVK/Build.upd";
    static inline const char* InfoPath = "/pub/OVK/UpdateInfo.txt";
    static inline const char* PackagePath = "/pub/OVK/Setup.7z";

    // Host, optionally with ":port".
    static std::string Host();
    static std::string Url(const std::string& path);
    // 64 hex digits, or "" when updates are not authenticated.
    static std::string PublicKeyHex();

    static void SetHostOverride(const std::string& host);         // "" restores the built-in one
    static void SetPublicKeyOverride(const std::string& keyHex);  // "-" means none, "" restores
};
