#include "game/GameDetection.h"

#include "game/CaseFold.h"
#include "game/FileVersion.h"
#include "game/WinePath.h"
#include "game/WinePrefixes.h"
#include "game/WineRegistry.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TReadOnlyFile.h"
#include "platform/TTextCodec.h"

#include <optional>
#include <vector>

namespace {

constexpr std::string_view AssociationKey = "Software\\Classes\\.wotreplay\\DefaultIcon";

// The default value of the association as the classes root shows it: the user's key
// (user.reg) hides the machine's (system.reg). nullopt when neither has the key.
std::optional<std::string> ReadAssociation(const std::string& prefix)
{
    for (const char* file : {"/user.reg", "/system.reg"}) {
        const std::string path = prefix + file;
        if (!FileExists(path))
            continue;
        TRegistryValue value;
        const TRegistryLookup found = ReadRegistryValue(path, AssociationKey, "", value);
        if (found == TRegistryLookup::NoKey)
            continue;
        if (found == TRegistryLookup::NoValue)
            return std::string();
        if (value.Type != RegSz && value.Type != RegExpandSz)
            throw Exception("Invalid data type for ''");
        return value.Text;
    }
    return std::nullopt;
}

// A version name that stays one folder below res_mods.
bool IsPlainFolderName(const std::string& name)
{
    return name != "." && name != ".." && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

void FillFromExecutable(RWOTInfo& info, const std::string& exePath)
{
    info.ExePath = exePath;
    info.GameDir = ExtractFilePath(exePath);
    info.Version = TrimVersion(GetFileVersionStr(info.ExePath));
    info.VersionDir = GetVersionFolder(info.GameDir);
    if (!info.VersionDir.empty())
        info.TargetDir = info.VersionDir + PathDelim;
}

}  // namespace

std::string CutAssociationValue(const std::string& value)
{
    std::vector<size_t> starts;  // byte offset of each character
    for (size_t pos = 0; pos < value.size();) {
        starts.push_back(pos);
        TTextCodec::NextCodePoint(value, pos);
    }
    if (starts.size() < 4)
        return {};
    const size_t begin = starts[1];
    const size_t end = starts[starts.size() - 3];
    return value.substr(begin, end - begin);
}

void DetectGame(RWOTInfo& info)
{
    info = RWOTInfo {};
    bool failed = false;
    try {
        for (const std::string& prefix : FindWinePrefixes()) {
            std::string exePath;
            try {
                const std::optional<std::string> value = ReadAssociation(prefix);
                if (!value || value->empty())
                    continue;
                exePath = MapWindowsPath(prefix, CutAssociationValue(*value));
                if (exePath.empty() || !FileExists(exePath))
                    continue;
            } catch (...) {
                failed = true;  // a broken prefix does not hide a later working one
                continue;
            }
            try {
                FillFromExecutable(info, exePath);
            } catch (...) {
                info.Failed = true;  // fields already filled keep their values
            }
            return;
        }
    } catch (...) {
        failed = true;
    }
    info.Failed = failed;
}

std::string GetVersionFolder(const std::string& gameDir)
{
    const std::string file = gameDir + "paths.xml";
    if (!FileExists(file))
        return {};
    const std::string text = TReadOnlyFile::ReadWhole(file, MaxPathsXmlSize);
    if (text.empty())
        return {};
    // The version follows "res_mods" and one separator, up to the next tag.
    std::string name;
    const size_t found = text.find("res_mods");
    if (found != std::string::npos && found + 9 < text.size()) {
        const size_t start = found + 9;
        const size_t end = text.find('<', start + 1);
        name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    if (!IsPlainFolderName(name))
        return {};
    const std::string candidate = gameDir + "res_mods" + PathDelim + name;
    return DirectoryExists(candidate) ? candidate : std::string();
}

std::string TrimVersion(const std::string& text)
{
    size_t points = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.' && ++points == 3)
            return text.substr(0, i);
    }
    return text;
}
