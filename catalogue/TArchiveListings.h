#pragma once

#include <string>
#include <unordered_map>

#include "catalogue/TFileNameList.h"

// The files each probed archive would write (paths below the target folder), by the full
// archive path the installation is handed.
using TArchiveListings = std::unordered_map<std::string, TFileNameList>;
