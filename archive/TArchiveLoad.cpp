#include "archive/TArchiveLoad.h"

#include "platform/SystemInfo.h"

#include <algorithm>

std::atomic<int> TArchiveLoad::FInFlight{0};

TArchiveLoad::TArchiveLoad()
{
    ++FInFlight;
}

TArchiveLoad::~TArchiveLoad()
{
    --FInFlight;
}

int TArchiveLoad::InFlight()
{
    return FInFlight;
}

bool TArchiveLoad::CoreForSecondDecoder()
{
    return ProcessorCount() >= std::max(1, InFlight()) + 1;
}
