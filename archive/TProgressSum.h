#pragma once

#include <cstdint>
#include <mutex>

#include "archive/I7zReader.h"

// One progress sink fed by two readers that extract halves of the same archive: the sink
// sees the sum of both totals (once both are known) and the sum of both completed counts,
// one call at a time. A non-zero answer of the sink is given to both halves from then on,
// so both stop.
class TProgressSum {
public:
    TProgressSum(void* sender, TArchiveProgressFn fn);

    // The sink and sender to give the reader of half 0 or 1.
    static int32_t Forward(void* half, bool isTotal, uint64_t value);
    void* Half(int index) { return &Halves[index]; }

private:
    struct THalf {
        TProgressSum* Sum = nullptr;
        int Index = 0;
        uint64_t Total = 0;
        uint64_t Done = 0;
        bool HaveTotal = false;
    };
    int32_t Report(THalf& half, bool isTotal, uint64_t value);

    void* Sender;
    TArchiveProgressFn Fn;
    std::mutex Lock;
    THalf Halves[2];
    int32_t Stopped = 0;
};
