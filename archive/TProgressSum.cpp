#include "archive/TProgressSum.h"

TProgressSum::TProgressSum(void* sender, TArchiveProgressFn fn) : Sender(sender), Fn(fn)
{
    for (int i = 0; i < 2; ++i) {
        Halves[i].Sum = this;
        Halves[i].Index = i;
    }
}

int32_t TProgressSum::Forward(void* half, bool isTotal, uint64_t value)
{
    auto* h = static_cast<THalf*>(half);
    return h->Sum->Report(*h, isTotal, value);
}

int32_t TProgressSum::Report(THalf& half, bool isTotal, uint64_t value)
{
    // Held across the sink's call: the sink sees one call at a time, in order, and a
    // sink that pauses the installation pauses both halves.
    std::lock_guard g(Lock);
    if (Stopped != 0)
        return Stopped;
    if (isTotal) {
        half.Total = value;
        half.HaveTotal = true;
        if (!Halves[0].HaveTotal || !Halves[1].HaveTotal)
            return 0;
        value = Halves[0].Total + Halves[1].Total;
    } else {
        half.Done = value;
        value = Halves[0].Done + Halves[1].Done;
    }
    const int32_t rc = Fn ? Fn(Sender, isTotal, value) : 0;
    if (rc != 0)
        Stopped = rc;
    return rc;
}
