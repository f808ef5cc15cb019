#pragma once

#include <string>

// The names of a RAR volume set's parts: "name.part1.rar", "name.part2.rar", ... (any
// width of number) or the old "name.rar", "name.r00" ... "name.r99", "name.s00", ...
class TVolumeName {
public:
    static constexpr unsigned MaxParts = 1000;

    // True for a part other than the first, with the first part's name (in the same folder).
    static bool LaterPart(const std::string& fileName, std::string& firstPart);
    // The library asks for further parts by name: only a bare name that is a later part of
    // the set that first begins is opened.
    static bool FollowsFirst(const std::string& first, const std::string& name);
};
