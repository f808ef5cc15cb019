#include "archive/TInterfacedObject.h"

uint32_t TInterfacedObject::AddRefObject() noexcept
{
    return RefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t TInterfacedObject::ReleaseObject() noexcept
{
    const uint32_t left = RefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}
