#include "archive/TFileDigest.h"

#include <algorithm>
#include <vector>

#include "platform/TReadOnlyFile.h"
#include "platform/TSha256.h"
#include "platform/TXxh3.h"

namespace {
template <class TSum>
bool Sum(const std::string& path, uint64_t& size, std::string& hex)
{
    try {
        TReadOnlyFile file(path);
        TSum sum;
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
        hex = sum.HexDigest();
        return true;
    } catch (...) {
        return false;
    }
}
}  // namespace

bool TFileDigest::Compute(const std::string& path, uint64_t& size, std::string& fingerprint, const std::string& like)
{
    return like.size() == 64 ? Sum<TSha256>(path, size, fingerprint) : Sum<TXxh3>(path, size, fingerprint);
}

std::string TFileDigest::Fingerprint(const std::string& bytes)
{
    return TXxh3::OfBytes(bytes.data(), bytes.size());
}

std::string TFileDigest::OfBytes(const std::string& bytes)
{
    return TSha256::OfBytes(bytes.data(), bytes.size());
}
