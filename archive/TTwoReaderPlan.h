#pragma once

#include <cstdint>
#include <vector>

class TItemProperties;

// Whether a non-solid archive pays for a second reader, and which items each reader
// takes: two disjoint halves balanced by size, each in archive order.
class TTwoReaderPlan {
public:
    // Only where the order of the items cannot show: every path is safe, no file is named
    // twice (even by case), no file stands where another item needs a folder, no hard
    // link, and the second decoder stays small. False leaves both halves empty.
    static bool Make(const TItemProperties& items, std::vector<uint32_t>& first, std::vector<uint32_t>& second);
};
