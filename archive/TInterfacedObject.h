#pragma once

#include <atomic>
#include <cstdint>

// The reference count behind the binding's component objects. The count starts at 0;
// the object deletes itself when a release brings it back to 0. Atomic: the library may
// take and drop references on its own threads.
class TInterfacedObject {
public:
    TInterfacedObject(const TInterfacedObject&) = delete;
    TInterfacedObject& operator=(const TInterfacedObject&) = delete;

protected:
    TInterfacedObject() = default;
    virtual ~TInterfacedObject() = default;
    uint32_t AddRefObject() noexcept;
    uint32_t ReleaseObject() noexcept;

private:
    std::atomic<uint32_t> RefCount{0};
};
