#include "platform/EmbeddedResources.h"

#include <strings.h>

bool EmbeddedNameEquals(const char* a, const char* b)
{
    return ::strcasecmp(a, b) == 0;
}

bool FindEmbeddedResource(const std::string& type, const std::string& name, TResourceData& out)
{
    return SetupFindEmbeddedResource(type.c_str(), name.c_str(), out);
}
