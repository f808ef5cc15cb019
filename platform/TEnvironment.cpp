#include "platform/TEnvironment.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

std::string GetEnvironmentVar(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

std::string GetHomeFolder()
{
    std::string home = GetEnvironmentVar("HOME");
    if (home.empty()) {
        std::vector<char> buf(16384);
        passwd pw {};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
            home = found->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

std::string GetUserDataFolder()
{
    std::string data = GetEnvironmentVar("XDG_DATA_HOME");
    // A relative value is to be ignored, as the base directory rules say.
    if (data.empty() || data.front() != '/')
        data = GetHomeFolder() + "/.local/share";
    while (data.size() > 1 && data.back() == '/')
        data.pop_back();
    return data;
}
