#pragma once

#include <cstdint>
#include <string>

// What the server's Build.upd announces.
struct TBuildUpd {
    std::uint16_t Build = 0;     // line 1, low 16 bits
    std::string VersionText;     // line 2
    std::string PackageSha256;   // line 3, lower-case hex; empty when the server sends none
    std::string Signature;       // line 4, hex; empty when absent
};
