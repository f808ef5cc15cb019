#include "archive/T7zFormat.h"

T7zFormat::T7zFormat(const std::string& libName) : T7zLibrary(libName)
{
    HandlerPropertyFn = GetProcAddress(LibHandle, "GetHandlerProperty");
    if (!HandlerPropertyFn)
        FailUnloading(libName + " is not a Format library");
}
