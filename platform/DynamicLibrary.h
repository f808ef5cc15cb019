#pragma once

#include <string>

// LoadLibrary / GetProcAddress / FreeLibrary. A name without a delimiter is looked up in
// the current folder first, as the Windows loader would, then by the system's search.
using TLibHandle = void*;

TLibHandle LoadLibraryFile(const std::string& name);
void* GetProcAddress(TLibHandle handle, const char* symbol);
void FreeLibrary(TLibHandle handle);
std::string LastLibraryError();
