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
    // The unpacked size of the i-th file, 0 when the archive did not say.
    std::uint64_t Size(std::size_t i) const { return i < FSizes.size() ? FSizes[i] : 0; }
    // The unpacked size of all the files.
    std::uint64_t TotalSize() const { return FTotal; }
    void Reserve(std::size_t names, std::size_t bytes);
    void Add(std::string_view name, std::uint64_t size = 0);
    // Appending a name in place: its characters go to Text(), then End() closes it or
    // Drop() takes them back.
    std::string& Text() { return FText; }
    void End(std::uint64_t size = 0);
    void Drop() { FText.resize(FEnds.empty() ? 0 : FEnds.back()); }

private:
    std::string FText;
    std::vector<std::size_t> FEnds;
    std::vector<std::uint64_t> FSizes;
    std::uint64_t FTotal = 0;
};
