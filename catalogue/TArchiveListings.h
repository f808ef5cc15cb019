#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// The files each probed archive would write (paths below the target folder), by the full
// archive path the installation is handed.
using TArchiveListings = std::unordered_map<std::string, std::vector<std::string>>;
