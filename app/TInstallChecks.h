#pragma once

#include <string>

#include "archive/tFilesArray.h"
#include "catalogue/TArchiveListings.h"

// The questions asked before files in the target folder are changed. The weighing itself is
// window-less (TSpaceEstimate, TGameProcessFinder); this only speaks to the user.
class TInstallChecks {
public:
    // The folder's file system takes the selection; otherwise says why and returns false.
    // A file system that does not tell its free space is not refused.
    static bool SpaceSuffices(const TArchiveListings& listings, const tFilesArray& files, const std::string& folder);
    // No client of the game runs, or the user chose to go on all the same; false when the
    // user cancelled.
    static bool GameClosed(const std::string& gameExe, const std::string& folder);
};
