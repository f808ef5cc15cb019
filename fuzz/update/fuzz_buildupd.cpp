// Build.upd and UpdateInfo.txt come from the network: no input may crash the reader.
#include "update/EUpdateError.h"
#include "update/TBuildUpdReader.h"
#include "update/TUpdateInfoText.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    static const std::string key(64, 'a');
    for (const std::string* k : {&key, static_cast<const std::string*>(nullptr)}) {
        try {
            TBuildUpdReader::Parse(text, k ? *k : std::string());
        } catch (const EUpdateError&) {
        }
    }
    const std::string decoded = TUpdateInfoText::Decode(text);
    if (!TUpdateInfoText::IsValidUtf8(decoded))
        __builtin_trap();
    return 0;
}
