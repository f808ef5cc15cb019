#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/TArchiveListings.h"

// The outcome of weighing a selection against its target's file system.
struct TSpaceCheck {
    std::uint64_t Needed = 0;  // what the installation adds to the file system, margin included
    std::uint64_t Free = 0;
    bool FreeKnown = false;
    bool ReadOnly = false;
    // Plainly too little: the installation would fail part-way.
    bool Short() const { return FreeKnown && Needed > Free; }
};

// Space a selection of probed archives needs, from the sizes their headers give.
class TSpaceEstimate {
public:
    // The unpacked size of the archives' files; archives never probed count nothing.
    static std::uint64_t SelectionSize(const TArchiveListings& listings, const std::vector<std::string>& archives);
    // What the folder grows by: each destination once, as the last archive writing it leaves
    // it, rounded up to whole blocks, less the files there now that it replaces in place.
    static std::uint64_t Growth(const TArchiveListings& listings, const std::vector<std::string>& archives,
                                const std::string& target, std::uint64_t blockSize);
    // Growth plus a margin for folders and the file system's own records.
    static TSpaceCheck Check(const TArchiveListings& listings, const std::vector<std::string>& archives,
                             const std::string& target);
};
