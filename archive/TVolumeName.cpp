#include "archive/TVolumeName.h"

#include <cctype>

namespace {
bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "base.partN.rar": the base, N's text.
bool NewStyle(const std::string& name, std::string& base, std::string& number)
{
    const std::string lower = Lower(name);
    if (lower.size() < 10 || lower.compare(lower.size() - 4, 4, ".rar") != 0)
        return false;
    const size_t part = lower.rfind(".part", lower.size() - 4);
    if (part == std::string::npos || part == 0)
        return false;
    number = name.substr(part + 5, lower.size() - 4 - part - 5);
    if (!AllDigits(number) || number.size() > 6)
        return false;
    base = name.substr(0, part);
    return true;
}

// "base.rNN" .. "base.zNN": the base.
bool OldStyle(const std::string& name, std::string& base)
{
    if (name.size() < 5)
        return false;
    const std::string ext = Lower(name.substr(name.size() - 4));
    if (ext[0] != '.' || ext[1] < 'r' || ext[1] > 'z' || !AllDigits(ext.substr(2)))
        return false;
    base = name.substr(0, name.size() - 4);
    return !base.empty();
}
}  // namespace

bool TVolumeName::LaterPart(const std::string& fileName, std::string& firstPart)
{
    const size_t slash = fileName.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
    const std::string name = fileName.substr(folder.size());
    std::string base, number;
    if (NewStyle(name, base, number)) {
        if (std::stoul(number) <= 1)
            return false;
        std::string one(number.size() - 1, '0');
        firstPart = folder + base + name.substr(base.size(), 5) + one + "1" + name.substr(name.size() - 4);
        return true;
    }
    if (OldStyle(name, base)) {
        firstPart = folder + base + ".rar";
        return true;
    }
    return false;
}

bool TVolumeName::FollowsFirst(const std::string& first, const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos ||
        first.find('/') != std::string::npos)
        return false;
    std::string firstBase, firstNumber, base, number;
    if (NewStyle(first, firstBase, firstNumber))
        return NewStyle(name, base, number) && base == firstBase && name != first;
    if (Lower(first).size() > 4 && Lower(first).compare(first.size() - 4, 4, ".rar") == 0)
        return OldStyle(name, base) && base == first.substr(0, first.size() - 4);
    return false;
}
