#include "game/WinePath.h"

#include "game/CaseFold.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFolderListing.h"

#include <vector>

namespace {

bool EntryExists(const std::string& path)
{
    return FileExists(path) || DirectoryExists(path);
}

std::string DriveRoot(const std::string& prefix, char letter)
{
    const std::string base = IncludeTrailingPathDelimiter(prefix);
    std::string root = CanonicalPath(base + "dosdevices/" + letter + ':');
    if (root.empty() && letter == 'c')
        root = CanonicalPath(base + "drive_c");
    return DirectoryExists(root) ? root : std::string();
}

// The entry of folder named component, the exact name first, else one differing in case.
std::string MatchComponent(const std::string& folder, const std::string& component)
{
    if (EntryExists(folder + component))
        return component;
    const std::string wanted = FoldCase(component);
    for (const TFolderEntry& e : ListFolder(folder)) {
        if (FoldCase(e.Name) == wanted)
            return e.Name;
    }
    return {};
}

}  // namespace

std::string MapWindowsPath(const std::string& prefix, const std::string& windowsPath)
{
    std::string path = windowsPath;
    if (path.rfind("\\\\?\\", 0) == 0)
        path.erase(0, 4);
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
        return {};
    char letter = path[0];
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z')
        return {};

    std::vector<std::string> components;
    std::string part;
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (part == "..") {
                if (!components.empty())
                    components.pop_back();
            } else if (!part.empty() && part != ".") {
                components.push_back(part);
            }
            part.clear();
        } else {
            part += path[i];
        }
    }
    if (components.empty())
        return {};

    std::string current = DriveRoot(prefix, letter);
    if (current.empty())
        return {};
    for (const std::string& component : components) {
        current = IncludeTrailingPathDelimiter(current);
        const std::string name = MatchComponent(current, component);
        if (name.empty())
            return {};
        current += name;
    }
    return current;
}
