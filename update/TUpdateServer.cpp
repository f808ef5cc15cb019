#include "update/TUpdateServer.h"

#include <mutex>

#ifndef SETUP_UPDATE_HOST
#define SETUP_UPDATE_HOST "localhost"
#endif
#ifndef SETUP_UPDATE_PUBLIC_KEY
#define SETUP_UPDATE_PUBLIC_KEY ""
#endif

namespace {
// Read by the check thread, set by tests on the main thread before it starts.
std::mutex& Lock()
{
    static std::mutex m;
    return m;
}
std::string& HostOverride()
{
    static std::string s;
    return s;
}
std::string& KeyOverride()
{
    static std::string s;
    return s;
}
}

std::string TUpdateServer::Host()
{
    std::lock_guard<std::mutex> g(Lock());
    return HostOverride().empty() ? std::string(SETUP_UPDATE_HOST) : HostOverride();
}

std::string TUpdateServer::Url(const std::string& path)
{
    return "http://" + Host() + path;
}

std::string TUpdateServer::PublicKeyHex()
{
    std::lock_guard<std::mutex> g(Lock());
    if (KeyOverride() == "-")
        return {};
    return KeyOverride().empty() ? std::string(SETUP_UPDATE_PUBLIC_KEY) : KeyOverride();
}

void TUpdateServer::SetHostOverride(const std::string& host)
{
    std::lock_guard<std::mutex> g(Lock());
    HostOverride() = host;
}

void TUpdateServer::SetPublicKeyOverride(const std::string& keyHex)
{
    std::lock_guard<std::mutex> g(Lock());
    KeyOverride() = keyHex;
}
