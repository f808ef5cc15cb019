#pragma once

#include <cstdint>

class THostStream;

// Info-ZIP's Unicode path field beside a zip item's stored name. 7-Zip's library takes the
// field's name only when the field matches the stored name (its CRC-32 of the name's bytes)
// and holds clean UTF-8; otherwise it reads the stored bytes by its locale, and keeps
// listing the field among the item's characteristics all the same.
class TZipUnicodePath {
public:
    // Reads the local header at pos: true when it carries a Unicode path field that the
    // library does not take. False when it has none, takes it, or the header is unreadable.
    static bool Rejected(THostStream& file, uint64_t pos);
};
