#include "game/WinePrefixes.h"

#include "platform/FileSystem.h"
#include "platform/TEnvironment.h"
#include "platform/TFolderListing.h"
#include "platform/TReadOnlyFile.h"

#include <set>

namespace {

constexpr size_t MaxConfigFileSize = 1u << 20;

class TPrefixList {
public:
    void Add(const std::string& folder)
    {
        const std::string canonical = CanonicalPath(folder);
        if (!canonical.empty() && DirectoryExists(canonical) && Seen.insert(canonical).second)
            Folders.push_back(canonical);
    }
    std::vector<std::string> Folders;

private:
    std::set<std::string> Seen;
};

std::string ReadConfig(const std::string& path)
{
    try {
        return FileExists(path) ? TReadOnlyFile::ReadWhole(path, MaxConfigFileSize) : std::string();
    } catch (...) {
        return {};  // an unreadable configuration names no prefixes
    }
}

std::string ExpandHome(const std::string& path, const std::string& home)
{
    if (path == "~")
        return home;
    if (path.rfind("~/", 0) == 0)
        return home + path.substr(1);
    return path;
}

// A quoted VDF token with its escapes, or a bare word; false at the end of the text.
bool NextVdfToken(std::string_view text, size_t& pos, std::string& token, bool& quoted)
{
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++pos;
        } else if (text.substr(pos, 2) == "//") {
            const size_t nl = text.find('\n', pos);
            pos = nl == std::string_view::npos ? text.size() : nl;
        } else {
            break;
        }
    }
    if (pos >= text.size())
        return false;
    token.clear();
    quoted = text[pos] == '"';
    if (!quoted) {
        if (text[pos] == '{' || text[pos] == '}') {
            token = text[pos++];
            return true;
        }
        while (pos < text.size() && std::string_view(" \t\r\n\"{}").find(text[pos]) == std::string_view::npos)
            token += text[pos++];
        return true;
    }
    ++pos;
    while (pos < text.size() && text[pos] != '"') {
        if (text[pos] == '\\' && pos + 1 < text.size()) {
            const char e = text[pos + 1];
            token += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            pos += 2;
        } else {
            token += text[pos++];
        }
    }
    ++pos;
    return true;
}

bool IsNumber(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

void AddSteamPrefixes(TPrefixList& list, const std::string& home)
{
    const char* roots[] = {"/.steam/steam", "/.steam/root", "/.local/share/Steam",
                           "/.var/app/com.valvesoftware.Steam/.local/share/Steam"};
    std::set<std::string> libraries;
    std::vector<std::string> ordered;
    auto addLibrary = [&](const std::string& folder) {
        const std::string canonical = CanonicalPath(folder);
        if (!canonical.empty() && libraries.insert(canonical).second)
            ordered.push_back(canonical);
    };
    for (const char* root : roots) {
        const std::string steam = home + root;
        if (!DirectoryExists(steam))
            continue;
        addLibrary(steam);
        for (const char* vdf : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"}) {
            for (const std::string& library : ParseSteamLibraryFolders(ReadConfig(steam + vdf)))
                addLibrary(ExpandHome(library, home));
        }
    }
    for (const std::string& library : ordered) {
        const std::string compat = library + "/steamapps/compatdata/";
        for (const TFolderEntry& game : ListFolder(compat)) {
            if (game.IsFolder)
                list.Add(compat + game.Name + "/pfx");
        }
    }
}

void AddLutrisPrefixes(TPrefixList& list, const std::string& home)
{
    for (const char* configs : {"/.config/lutris/games/", "/.local/share/lutris/games/"}) {
        const std::string folder = home + configs;
        for (const TFolderEntry& e : ListFolder(folder)) {
            if (e.IsFolder || !(e.Name.ends_with(".yml") || e.Name.ends_with(".yaml")))
                continue;
            for (const std::string& prefix : ParseLutrisPrefixes(ReadConfig(folder + e.Name)))
                list.Add(ExpandHome(prefix, home));
        }
    }
    // Lutris' default place for the prefixes it creates.
    const std::string games = home + "/Games/";
    for (const TFolderEntry& e : ListFolder(games)) {
        const std::string prefix = games + e.Name;
        if (e.IsFolder && (FileExists(prefix + "/system.reg") || FileExists(prefix + "/user.reg")))
            list.Add(prefix);
    }
}

}  // namespace

std::vector<std::string> ParseSteamLibraryFolders(std::string_view vdfText)
{
    std::vector<std::string> folders;
    size_t pos = 0;
    std::string key, value;
    bool quoted = false;
    bool haveKey = false;
    std::string token;
    while (NextVdfToken(vdfText, pos, token, quoted)) {
        if (!quoted && (token == "{" || token == "}")) {
            haveKey = false;
            continue;
        }
        if (!haveKey) {
            key = token;
            haveKey = true;
            continue;
        }
        value = token;
        haveKey = false;
        if ((key == "path" || IsNumber(key)) && !value.empty() && value[0] == '/')
            folders.push_back(value);
    }
    return folders;
}

std::vector<std::string> ParseLutrisPrefixes(std::string_view ymlText)
{
    std::vector<std::string> prefixes;
    size_t start = 0;
    while (start < ymlText.size()) {
        size_t end = ymlText.find('\n', start);
        if (end == std::string_view::npos)
            end = ymlText.size();
        std::string_view line = ymlText.substr(start, end - start);
        start = end + 1;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line.substr(first, 7) != "prefix:")
            continue;
        line.remove_prefix(first + 7);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') && line.back() == line.front())
            line = line.substr(1, line.size() - 2);
        if (!line.empty())
            prefixes.emplace_back(line);
    }
    return prefixes;
}

std::vector<std::string> FindWinePrefixes()
{
    TPrefixList list;
    const std::string home = GetHomeFolder();
    const std::string fromEnvironment = GetEnvironmentVar("WINEPREFIX");
    if (!fromEnvironment.empty())
        list.Add(fromEnvironment);
    if (!home.empty()) {
        list.Add(home + "/.wine");
        AddSteamPrefixes(list, home);
        AddLutrisPrefixes(list, home);
    }
    return list.Folders;
}
