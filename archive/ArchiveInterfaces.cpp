#include "archive/ArchiveInterfaces.h"

#include <cstdlib>
#include <cstring>
#include <new>

// The library allocates system strings with malloc: a 32-bit byte length, the
// characters, a terminating zero. Ours must be freeable by it and the other way round.
TBStr AllocBStr(const wchar_t* text, uint32_t length)
{
    const size_t bytes = static_cast<size_t>(length) * sizeof(wchar_t);
    auto* block = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(wchar_t)));
    if (!block)
        throw std::bad_alloc();
    block[0] = static_cast<uint32_t>(bytes);
    auto* chars = reinterpret_cast<wchar_t*>(block + 1);
    if (length)
        std::memcpy(chars, text, bytes);
    chars[length] = L'\0';
    return chars;
}

void FreeBStr(TBStr s)
{
    if (s)
        std::free(reinterpret_cast<uint32_t*>(s) - 1);
}

void ClearPropVariant(TPropVariant& v)
{
    if (v.vt == kVT_BSTR)
        FreeBStr(v.bstrVal);
    v.vt = kVT_EMPTY;
    v.raw = 0;
}
