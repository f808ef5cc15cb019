#pragma once

#include "archive/T7zLibrary.h"

// A loaded library that also answers as a format library, and the format it reads.
class T7zFormat : public T7zLibrary {
protected:
    explicit T7zFormat(const std::string& libName);

    // Only looked up, as a check that the library carries archive formats.
    void* HandlerPropertyFn = nullptr;
    TGUID FormatId{};
};
