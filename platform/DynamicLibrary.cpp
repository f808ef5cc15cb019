#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

TLibHandle LoadLibraryFile(const std::string& name)
{
    if (name.empty())
        return nullptr;
    // dlopen takes a bare name to the system search only; the program means the file
    // in its working folder.
    const std::string path = name.find('/') == std::string::npos ? "./" + name : name;
    int flags = RTLD_NOW | RTLD_LOCAL;
#ifndef SETUP_SANITIZED
    // The library binds to its own symbols first instead of searching every library
    // the window toolkit brought in: loading it per probe is several times faster.
    flags |= RTLD_DEEPBIND;
#endif
    void* h = ::dlopen(path.c_str(), flags);
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
