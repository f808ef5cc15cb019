// The Wine registry file reader on arbitrary text, with and without Wine's header line.
#include "game/WineRegistry.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    TRegistryValue value;
    const char* key = "Software\\Classes\\.wotreplay\\DefaultIcon";
    FindRegistryValue(body, key, "", value);
    FindRegistryValue("WINE REGISTRY Version 2\n" + body, key, "", value);
    FindRegistryValue("WINE REGISTRY Version 2\n[Software\\\\Classes\\\\.wotreplay\\\\DefaultIcon]\n" + body, key,
                      "", value);
    return 0;
}
