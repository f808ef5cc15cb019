#include "archive/T7zLibrary.h"

#include "archive/EArchiveError.h"

namespace {
using TGetModulePropFn = THResult (*)(TPropId propId, TPropVariant* value);
// Module property 0 is the interface type: 0 = IUnknown without a virtual destructor.
constexpr TPropId kModulePropInterfaceType = 0;
constexpr uint32_t kInterfaceNoVirtualDestructor = 0;
}  // namespace

T7zLibrary::T7zLibrary(const std::string& libName)
{
    LibHandle = LoadLibraryFile(libName);
    if (!LibHandle)
        throw EArchiveError("Error loading library " + libName);
    CreateObjectFn = reinterpret_cast<TCreateObjectFn>(GetProcAddress(LibHandle, "CreateObject"));
    if (!CreateObjectFn)
        FailUnloading(libName + " is not a 7z library");
    CheckInterfaceLayout(libName);
}

T7zLibrary::~T7zLibrary()
{
    FreeLibrary(LibHandle);
}

void T7zLibrary::FailUnloading(const std::string& message)
{
    FreeLibrary(LibHandle);
    LibHandle = nullptr;
    throw EArchiveError(message);
}

// A library built with a virtual destructor in IUnknown shifts every method slot by two;
// calling it through these declarations would jump to the wrong functions. Libraries too
// old to export the property predate that option and have the plain layout.
void T7zLibrary::CheckInterfaceLayout(const std::string& libName)
{
    auto getModuleProp = reinterpret_cast<TGetModulePropFn>(GetProcAddress(LibHandle, "GetModuleProp"));
    if (!getModuleProp)
        return;
    TPropVariant v;
    const THResult rc = getModuleProp(kModulePropInterfaceType, &v);
    uint32_t type = kInterfaceNoVirtualDestructor;
    bool known = true;
    if (rc == kS_OK && v.vt == kVT_UI4)
        type = v.ulVal;
    else if (rc == kS_OK && v.vt == kVT_UI8)
        type = static_cast<uint32_t>(v.uhVal);
    else if (rc == kS_OK && v.vt == kVT_EMPTY)
        type = kInterfaceNoVirtualDestructor;
    else
        known = false;
    ClearPropVariant(v);
    if (!known || type != kInterfaceNoVirtualDestructor)
        FailUnloading(libName + " is not a 7z library (its interface layout " +
                      std::to_string(type) + " does not match this program)");
}

THResult T7zLibrary::CreateLibraryObject(const TGUID& clsid, const TGUID& iid, void** out) const
{
    return CreateObjectFn(&clsid, &iid, out);
}
