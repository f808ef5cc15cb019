#pragma once

#include <cstddef>

// Hints to the OS about large blocks of memory.
class TPageMemory {
public:
    // Asks for huge pages over the whole pages inside [data, data + size): a 100 MB
    // download then costs a few hundred page faults instead of tens of thousands.
    // Only a hint; ignored where the system does not offer them.
    static void HintHugePages(void* data, std::size_t size);
};
