#include "catalogue/TConflictFinder.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <unordered_map>

std::vector<TConflict> TConflictFinder::Find(const std::vector<const TFileNameList*>& archives)
{
    // The last archive holding each path is the one whose copy stays.
    std::unordered_map<std::string_view, std::size_t> lastWriter;
    for (std::size_t i = 0; i < archives.size(); ++i) {
        if (!archives[i])
            continue;
        const TFileNameList& list = *archives[i];
        for (std::size_t k = 0; k < list.size(); ++k)
            lastWriter[list[k]] = i;
    }
    std::map<std::pair<std::size_t, std::size_t>, TConflict> byPair;  // (winner, loser)
    std::unordered_map<std::string_view, std::size_t> countedIn;       // a path listed twice counts once
    for (std::size_t i = 0; i < archives.size(); ++i) {
        if (!archives[i])
            continue;
        const TFileNameList& list = *archives[i];
        for (std::size_t k = 0; k < list.size(); ++k) {
            const std::string_view f = list[k];
            const std::size_t w = lastWriter[f];
            if (w == i)
                continue;
            auto [at, fresh] = countedIn.try_emplace(f, i);
            if (!fresh) {
                if (at->second == i)
                    continue;
                at->second = i;
            }
            TConflict& c = byPair[{w, i}];
            c.Loser = i;
            c.Winner = w;
            ++c.Count;
            if (c.Examples.size() < MaxExamples)
                c.Examples.emplace_back(f);
        }
    }
    std::vector<TConflict> out;
    out.reserve(byPair.size());
    for (auto& [key, c] : byPair)
        out.push_back(std::move(c));
    return out;
}
