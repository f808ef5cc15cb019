#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The file paths of one archive, kept end to end in one buffer: a large archive's names
// cost no allocation each.
class TFileNameList {
public:
    std::size_t size() const { return FEnds.size(); }
    bool empty() const { return FEnds.empty(); }
    std::string_view operator[](std::size_t i) const
    {
        const std::size_t start = i == 0 ? 0 : FEnds[i - 1];
        return std::string_view(FText).substr(start, FEnds[i] - start);
    }
    void Reserve(std::size_t names, std::size_t bytes);
    void Add(std::string_view name);
    // Appending a name in place: its characters go to Text(), then End() closes it or
    // Drop() takes them back.
    std::string& Text() { return FText; }
    void End() { FEnds.push_back(FText.size()); }
    void Drop() { FText.resize(FEnds.empty() ? 0 : FEnds.back()); }

private:
    std::string FText;
    std::vector<std::size_t> FEnds;
};
