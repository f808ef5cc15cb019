#include "game/TGameProcessFinder.h"

#include "game/CaseFold.h"
#include "platform/Paths.h"
#include "platform/TFolderListing.h"
#include "platform/TFolderSearch.h"
#include "platform/TPathResolver.h"

#include <algorithm>

namespace {
std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path, start, end - start);
        start = end + 1;
    }
    return parts;
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}

std::string TGameProcessFinder::GameFolderOf(const std::string& targetFolder)
{
    const std::vector<std::string> parts = Components(targetFolder);
    std::size_t keep = parts.size();
    for (std::size_t i = parts.size(); i-- > 0;) {
        if (SameTextNoCase(parts[i], "res_mods")) {
            keep = i;
            break;
        }
    }
    std::string folder = !targetFolder.empty() && targetFolder[0] == '/' ? "/" : "";
    for (std::size_t i = 0; i < keep; ++i)
        folder += parts[i] + "/";
    return folder;
}

TGameProcessFinder::TGameProcessFinder(const std::string& detectedExe, const std::string& targetFolder)
{
    if (!detectedExe.empty())
        FExecutables.push_back(detectedExe);
    const std::string gameFolder = targetFolder.empty() ? std::string() : GameFolderOf(targetFolder);
    if (!gameFolder.empty()) {
        TFolderSearch search(gameFolder);
        TSearchEntry e;
        while (search.Next(e)) {
            if (!e.IsFolder && EndsWith(FoldCase(e.Name), ".exe"))
                FExecutables.push_back(gameFolder + e.Name);
        }
    }
    for (std::string& exe : FExecutables) {
        std::string canonical;
        if (TPathResolver::IsRegularFile(exe) && !(canonical = CanonicalPath(exe)).empty())
            exe = canonical;
        const std::vector<std::string> parts = Components(exe);
        if (parts.size() >= 2)
            FWindowsTails.push_back(FoldCase("/" + parts[parts.size() - 2] + "/" + parts.back()));
    }
    std::sort(FExecutables.begin(), FExecutables.end());
    FExecutables.erase(std::unique(FExecutables.begin(), FExecutables.end()), FExecutables.end());
}

bool TGameProcessFinder::Names(const std::string& text) const
{
    if (text.empty())
        return false;
    if (std::find(FExecutables.begin(), FExecutables.end(), text) != FExecutables.end())
        return true;
    std::string folded = FoldCase(text);
    std::replace(folded.begin(), folded.end(), '\\', '/');
    return std::any_of(FWindowsTails.begin(), FWindowsTails.end(),
                       [&folded](const std::string& tail) { return EndsWith(folded, tail); });
}

std::vector<TRunningGame> TGameProcessFinder::FindIn(const std::vector<TProcessInfo>& processes) const
{
    std::vector<TRunningGame> found;
    if (FExecutables.empty())
        return found;
    for (const TProcessInfo& p : processes) {
        if (Names(p.Exe)) {
            found.push_back({p.Pid, p.Exe});
            continue;
        }
        const auto arg = std::find_if(p.Args.begin(), p.Args.end(), [this](const std::string& a) { return Names(a); });
        if (arg != p.Args.end())
            found.push_back({p.Pid, *arg});
    }
    return found;
}

std::vector<TRunningGame> TGameProcessFinder::Find() const
{
    std::vector<TProcessInfo> processes;
    if (FExecutables.empty() || !TProcessList::Snapshot(processes))
        return {};
    return FindIn(processes);
}
