#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

TLibHandle LoadLibraryFile(const std::string& name)
{
    if (name.empty())
        return nullptr;
    // dlopen takes a bare name to the system search only; the program means the file
    // in its working folder.
    const std::string path = name.find('/') == std::string::npos ? "./" + name : name;
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return h;
}

void* GetProcAddress(TLibHandle handle, const char* symbol)
{
    return handle ? ::dlsym(handle, symbol) : nullptr;
}

void FreeLibrary(TLibHandle handle)
{
    if (handle)
        ::dlclose(handle);
}

std::string LastLibraryError()
{
    const char* e = ::dlerror();
    return e ? std::string(e) : std::string();
}
