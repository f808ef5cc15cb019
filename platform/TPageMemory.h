#pragma once

#include <cstddef>

// Hints to the OS and the allocator about large blocks of memory.
class TPageMemory {
public:
    // Asks for huge pages over the whole pages inside [data, data + size): a 100 MB
    // download then costs a few hundred page faults instead of tens of thousands.
    // Only a hint; ignored where the system does not offer them.
    static void HintHugePages(void* data, std::size_t size);
    // From now on, blocks of at least size bytes are mapped apart and given back to the
    // system when freed. Otherwise the allocator raises that bound to the largest block
    // freed so far (up to 32 MB), and blocks such as decoder dictionaries then stay
    // resident in its per-thread arenas once freed. False when the allocator refused.
    static bool GiveBackBlocksFrom(std::size_t size);
};
