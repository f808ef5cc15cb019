#include "catalogue/TSpaceEstimate.h"

#include "platform/Paths.h"
#include "platform/TDiskSpace.h"

#include <string_view>
#include <unordered_map>

namespace {
constexpr std::uint64_t MarginBase = 256u << 10;

std::uint64_t RoundUp(std::uint64_t size, std::uint64_t block)
{
    if (block <= 1)
        return size;
    const std::uint64_t rest = size % block;
    return rest == 0 ? size : size + (block - rest);
}
}

std::uint64_t TSpaceEstimate::SelectionSize(const TArchiveListings& listings, const std::vector<std::string>& archives)
{
    std::uint64_t total = 0;
    for (const std::string& a : archives) {
        const auto it = listings.find(a);
        if (it != listings.end())
            total += it->second.TotalSize();
    }
    return total;
}

std::uint64_t TSpaceEstimate::Growth(const TArchiveListings& listings, const std::vector<std::string>& archives,
                                     const std::string& target, std::uint64_t blockSize)
{
    // A later archive writes over an earlier one's file: only the last size stays.
    std::unordered_map<std::string_view, std::uint64_t> last;
    for (const std::string& a : archives) {
        const auto it = listings.find(a);
        if (it == listings.end())
            continue;
        const TFileNameList& files = it->second;
        for (std::size_t i = 0; i < files.size(); ++i)
            last[files[i]] = files.Size(i);
    }
    const std::string folder = IncludeTrailingPathDelimiter(target);
    std::uint64_t adds = 0, replaced = 0;
    std::string path;
    for (const auto& [name, size] : last) {
        adds += RoundUp(size, blockSize);
        path.assign(folder).append(name);
        std::uint64_t existing = 0;
        if (TDiskSpace::RegularFileSize(path, existing))
            replaced += RoundUp(existing, blockSize);
    }
    return adds > replaced ? adds - replaced : 0;
}

TSpaceCheck TSpaceEstimate::Check(const TArchiveListings& listings, const std::vector<std::string>& archives,
                                  const std::string& target)
{
    TSpaceCheck r;
    const TFileSystemSpace fs = TDiskSpace::Query(target);
    r.ReadOnly = fs.ReadOnly;
    r.FreeKnown = fs.Known;
    r.Free = fs.Free;
    const std::uint64_t growth = Growth(listings, archives, target, fs.BlockSize);
    r.Needed = growth + MarginBase + growth / 100;
    return r;
}
