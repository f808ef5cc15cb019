#include "archive/TTwoReaderPlan.h"

#include <algorithm>
#include <cwctype>
#include <string>
#include <unordered_set>

#include "archive/ItemPathCheck.h"
#include "archive/TItemProperties.h"

namespace {
// A second reader is worth its set-up from about this much work on; a file costs its
// bytes plus a fixed share for being created and renamed.
constexpr uint64_t kPerFileCost = 32 * 1024;
constexpr uint64_t kMinTwoReaderCost = 1024 * 1024;
// The second reader's decoder must stay small: memory is budgeted near the CLI's.
constexpr uint64_t kMaxSecondDecoderMemory = 16u << 20;

std::wstring LowerCase(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

struct TWork {
    uint32_t Index;
    uint64_t Cost;
};

// The items and what each costs to write; false when the order of the items could show.
bool CollectWork(const TItemProperties& items, uint32_t count, std::vector<TWork>& work, uint64_t& total)
{
    // A hard link is a copy of a file the other half might not have written yet.
    bool hard = false;
    std::string target;
    for (uint32_t i = 0; i < count; ++i)
        if (items.Link(i, hard, target) && hard)
            return false;
    std::unordered_set<std::wstring> files, folders;
    for (uint32_t i = 0; i < count; ++i) {
        std::wstring relative;
        if (!MakeSafeRelativePath(items.Path(i), relative) || items.DecoderMemory(i) > kMaxSecondDecoderMemory)
            return false;
        const std::wstring key = LowerCase(relative);
        for (size_t at = key.find(L'/'); at != std::wstring::npos; at = key.find(L'/', at + 1))
            folders.insert(key.substr(0, at));
        if (items.IsFolder(i)) {
            folders.insert(key);
            work.push_back({i, 0});
            continue;
        }
        if (key.empty() || !files.insert(key).second)
            return false;
        const uint64_t cost = items.Size(i) + kPerFileCost;
        work.push_back({i, cost});
        total += cost;
    }
    for (const std::wstring& f : files)
        if (folders.count(f))
            return false;
    return true;
}
}  // namespace

bool TTwoReaderPlan::Make(const TItemProperties& items, std::vector<uint32_t>& first, std::vector<uint32_t>& second)
{
    first.clear();
    second.clear();
    const uint32_t count = items.Count();
    if (count < 2)
        return false;
    std::vector<TWork> work;
    work.reserve(count);
    uint64_t total = 0;
    if (!CollectWork(items, count, work, total) || total < kMinTwoReaderCost)
        return false;
    // Largest first, each to the lighter half.
    std::stable_sort(work.begin(), work.end(), [](const TWork& a, const TWork& b) { return a.Cost > b.Cost; });
    uint64_t load[2] = {0, 0};
    for (const TWork& w : work) {
        const int half = load[1] < load[0] ? 1 : 0;
        (half ? second : first).push_back(w.Index);
        load[half] += w.Cost;
    }
    if (first.empty() || second.empty()) {
        first.clear();
        second.clear();
        return false;
    }
    // Each reader goes through the file front to back.
    std::sort(first.begin(), first.end());
    std::sort(second.begin(), second.end());
    return true;
}
