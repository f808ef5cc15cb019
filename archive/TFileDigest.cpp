#include "archive/TFileDigest.h"

#include <algorithm>
#include <vector>

#include "platform/TReadOnlyFile.h"
#include "platform/TSha256.h"

bool TFileDigest::Compute(const std::string& path, uint64_t& size, std::string& sha256Hex)
{
    try {
        TReadOnlyFile file(path);
        TSha256 sum;
        static constexpr size_t Block = 1 << 20;
        const uint64_t total = file.Size();
        // Most mod files are small: no megabyte to clear for each of them.
        std::vector<unsigned char> buf(static_cast<size_t>(std::min<uint64_t>(Block, std::max<uint64_t>(total, 1))));
        for (uint64_t at = 0; at < total;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(Block, total - at));
            if (!file.ReadAt(at, buf.data(), n))
                return false;
            sum.Update(buf.data(), n);
            at += n;
        }
        size = total;
        sha256Hex = sum.HexDigest();
        return true;
    } catch (...) {
        return false;
    }
}

std::string TFileDigest::OfBytes(const std::string& bytes)
{
    return TSha256::OfBytes(bytes.data(), bytes.size());
}
