#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "catalogue/TFileNameList.h"

// Archives that write the same file: the loser's copy is replaced by the winner's, the
// winner being the archive installed last among those that hold the file.
struct TConflict {
    std::size_t Loser = 0;   // index into the list given to Find
    std::size_t Winner = 0;
    std::size_t Count = 0;   // files of the loser that the winner replaces
    std::vector<std::string> Examples;  // the first few of them, in the loser's order
};

class TConflictFinder {
public:
    static constexpr std::size_t MaxExamples = 5;
    // archives: each archive's file paths, in installation order; null counts as empty.
    // Conflicts come ordered by winner, then loser.
    static std::vector<TConflict> Find(const std::vector<const TFileNameList*>& archives);
};
