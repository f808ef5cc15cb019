#pragma once

#include <string>
#include <string_view>
#include <vector>

// Wine prefixes of the user, in the order they are searched: $WINEPREFIX, ~/.wine, the
// Proton prefixes of every Steam library (steamapps/compatdata/*/pfx), then Lutris
// prefixes (from its game configurations, and ~/Games/* holding registry files). Only
// existing folders, each once.
std::vector<std::string> FindWinePrefixes();

// Library folders named in Steam's libraryfolders.vdf ("path" values, and the older form
// where numbered keys hold the path).
std::vector<std::string> ParseSteamLibraryFolders(std::string_view vdfText);
// The "prefix:" entries of a Lutris game configuration (YAML).
std::vector<std::string> ParseLutrisPrefixes(std::string_view ymlText);
