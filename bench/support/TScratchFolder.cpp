#include "TScratchFolder.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <unistd.h>

#include "BenchRun.h"

TScratchFolder::TScratchFolder(const std::string& prefix)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data()))
        throw std::runtime_error("cannot make a folder in " + pattern);
    FPath = buffer.data();
}

TScratchFolder::~TScratchFolder()
{
    Remove();
}

std::string TScratchFolder::Fresh(const std::string& name)
{
    if (!name.empty() && name.back() == '#')
        return FPath + "/" + name.substr(0, name.size() - 1) + std::to_string(++FSerial);
    return FPath + "/" + name;
}

void TScratchFolder::Remove()
{
    if (FPath.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
    FPath.clear();
}

bool TScratchFolder::SpreadOverBlockGroups() const
{
    return Shell("chattr +T " + ShellQuote(FPath) + " 2>/dev/null");
}
