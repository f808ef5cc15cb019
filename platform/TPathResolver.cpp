#include "platform/TPathResolver.h"

#include "platform/Paths.h"
#include "platform/TFolderSearch.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

namespace {
using TParts = std::vector<std::string>;

// Lexical normal form; false when ".." climbs above the root.
bool SplitNormal(const std::string& path, TParts& parts)
{
    parts.clear();
    std::string::size_type pos = 0;
    while (pos <= path.size()) {
        auto end = path.find(PathDelim, pos);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(pos, end - pos);
        if (part == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    return true;
}

std::string Join(const TParts& parts, std::size_t count)
{
    std::string s;
    for (std::size_t i = 0; i < count; ++i)
        s += PathDelim + parts[i];
    return s.empty() ? std::string(1, PathDelim) : s;
}

bool RealPath(const std::string& path, std::string& real)
{
    char buf[PATH_MAX];
    if (!::realpath(path.c_str(), buf))
        return false;
    real = buf;
    return true;
}
}

bool TPathResolver::ResolveInside(const std::string& folder, const std::string& path, std::string& resolved)
{
    // Relative names are taken against the folder itself.
    const bool absFolder = !folder.empty() && folder[0] == PathDelim;
    const bool absPath = !path.empty() && path[0] == PathDelim;
    if (!absFolder || !absPath)
        return false;
    TParts base, parts;
    if (!SplitNormal(folder, base) || !SplitNormal(path, parts))
        return false;
    if (parts.size() <= base.size())
        return false;
    for (std::size_t i = 0; i < base.size(); ++i)
        if (parts[i] != base[i])
            return false;

    for (std::size_t i = base.size(); i < parts.size(); ++i) {
        const std::string match = TFolderSearch::MatchName(Join(parts, i), parts[i]);
        if (match.empty())
            break;  // nothing below a missing component can exist
        parts[i] = match;
    }
    resolved = Join(parts, parts.size());

    // A link inside the folder must not lead out of it.
    std::string realBase, realTarget;
    if (!RealPath(Join(base, base.size()), realBase))
        return false;
    if (RealPath(resolved, realTarget)) {
        const std::string prefix = IncludeTrailingPathDelimiter(realBase);
        if (realTarget.compare(0, prefix.size(), prefix) != 0 || realTarget.size() == prefix.size())
            return false;
    }
    return true;
}

bool TPathResolver::IsRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
