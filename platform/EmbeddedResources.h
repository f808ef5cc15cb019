#pragma once

#include <cstddef>
#include <string>

// Read-only data linked into the executable (the program's module resources).
struct TResourceData {
    const unsigned char* Data = nullptr;
    size_t Size = 0;
};

bool FindEmbeddedResource(const std::string& type, const std::string& name, TResourceData& out);
// Resource names compare without regard to case, as module resources do.
bool EmbeddedNameEquals(const char* a, const char* b);

// Defined in the generated table of the build (target setup_resources).
bool SetupFindEmbeddedResource(const char* type, const char* name, TResourceData& out);
