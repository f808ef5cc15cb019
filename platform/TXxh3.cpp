#include "platform/TXxh3.h"

#include <cstdio>
#include <new>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {
XXH3_state_t* State(void* p)
{
    return static_cast<XXH3_state_t*>(p);
}

std::string Hex(XXH128_hash_t h)
{
    char out[33];
    std::snprintf(out, sizeof out, "%016llx%016llx", static_cast<unsigned long long>(h.high64),
                  static_cast<unsigned long long>(h.low64));
    return out;
}
}  // namespace

TXxh3::TXxh3() : FState(XXH3_createState())
{
    if (!FState)
        throw std::bad_alloc();
    XXH3_128bits_reset(State(FState));
}

TXxh3::~TXxh3()
{
    XXH3_freeState(State(FState));
}

void TXxh3::Update(const void* data, std::size_t size)
{
    XXH3_128bits_update(State(FState), data, size);
}

std::string TXxh3::HexDigest() const
{
    return Hex(XXH3_128bits_digest(State(FState)));
}

std::string TXxh3::OfBytes(const void* data, std::size_t size)
{
    return Hex(XXH3_128bits(data, size));
}
