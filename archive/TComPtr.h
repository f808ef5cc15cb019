#pragma once

#include <utility>

// Holds one reference to a component object; dropping it releases that reference.
template <class T>
class TComPtr {
public:
    TComPtr() = default;
    // Takes a new reference to p.
    explicit TComPtr(T* p) : Ptr(p) { if (Ptr) Ptr->AddRef(); }
    TComPtr(const TComPtr& o) : TComPtr(o.Ptr) {}
    TComPtr(TComPtr&& o) noexcept : Ptr(std::exchange(o.Ptr, nullptr)) {}
    ~TComPtr() { Reset(); }
    TComPtr& operator=(TComPtr o) noexcept { std::swap(Ptr, o.Ptr); return *this; }

    // Adopts a reference the caller already owns (an out parameter's).
    static TComPtr Attach(T* p) { TComPtr r; r.Ptr = p; return r; }
    T* Detach() { return std::exchange(Ptr, nullptr); }
    void Reset() { if (T* p = std::exchange(Ptr, nullptr)) p->Release(); }

    T* Get() const { return Ptr; }
    T* operator->() const { return Ptr; }
    T& operator*() const { return *Ptr; }
    explicit operator bool() const { return Ptr != nullptr; }
    // For out parameters: releases the held reference first.
    T** Out() { Reset(); return &Ptr; }

private:
    T* Ptr = nullptr;
};
