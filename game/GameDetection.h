#pragma once

#include <string>

// A detected installation of World of Tanks. Folders end in PathDelim except VersionDir.
struct RWOTInfo {
    std::string Version;     // the executable's version cut to three numbers; "0.0.0" without one
    std::string GameDir;     // folder of the executable
    std::string ExePath;     // the executable
    std::string TargetDir;   // VersionDir + PathDelim; "" when VersionDir is ""
    std::string VersionDir;  // GameDir + "res_mods/" + the version named by paths.xml, if it exists
    bool Failed = false;     // an error was raised while detecting
};

// Fills info from the replay file association (.wotreplay\DefaultIcon) of the user's Wine
// prefixes; the first prefix whose association names an existing file is used. Never
// raises: errors set Failed.
void DetectGame(RWOTInfo& info);
// The version folder named by gameDir's paths.xml when it exists, else "". Raises
// Exception when paths.xml cannot be read or is far larger than any real one.
std::string GetVersionFolder(const std::string& gameDir);
// The text before its third point.
std::string TrimVersion(const std::string& text);
// The executable's path from an association value "\"path\",N": the last three and the
// first character removed (characters, not bytes).
std::string CutAssociationValue(const std::string& value);

// paths.xml is a small text file; reading stops being sensible far below this.
inline constexpr size_t MaxPathsXmlSize = 16u << 20;
