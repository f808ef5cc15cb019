#pragma once

#include <atomic>

// How many archives of an installation are being extracted at this moment, so a reader
// splits one archive over a second decoder only where a core is left over for it.
class TArchiveLoad {
public:
    // Counts an extraction for as long as the object lives.
    TArchiveLoad();
    ~TArchiveLoad();
    TArchiveLoad(const TArchiveLoad&) = delete;
    TArchiveLoad& operator=(const TArchiveLoad&) = delete;

    static int InFlight();
    // Whether one more decoder than the archives in flight (at least one) has a core.
    static bool CoreForSecondDecoder();

private:
    static std::atomic<int> FInFlight;
};
