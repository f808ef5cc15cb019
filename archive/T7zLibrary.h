#pragma once

#include <string>

#include "archive/ArchiveInterfaces.h"
#include "archive/TInterfacedObject.h"
#include "platform/DynamicLibrary.h"

// One load of the archive library; the destructor unloads it (one unload per load).
class T7zLibrary : public TInterfacedObject {
public:
    using TCreateObjectFn = THResult (*)(const TGUID* clsid, const TGUID* iid, void** out);

protected:
    // Raises EArchiveError when the file cannot be loaded or is not a 7z library of the
    // interface layout these declarations describe; nothing stays loaded then.
    explicit T7zLibrary(const std::string& libName);
    ~T7zLibrary() override;

    THResult CreateLibraryObject(const TGUID& clsid, const TGUID& iid, void** out) const;
    [[noreturn]] void FailUnloading(const std::string& message);

    TLibHandle LibHandle = nullptr;
    TCreateObjectFn CreateObjectFn = nullptr;

private:
    void CheckInterfaceLayout(const std::string& libName);
};
