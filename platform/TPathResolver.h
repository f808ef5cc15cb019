#pragma once

#include <string>

// Turns a path that should lie inside a given folder into the path of the entry on disk,
// or refuses it. Names are matched as on Windows: a name that does not exist with its exact
// case falls back to an entry that differs from it only in case.
class TPathResolver {
public:
    // False when path, with "." and ".." taken lexically, is not below folder, or when an
    // existing entry it names resolves (through links) outside folder's real location.
    // Otherwise true and resolved names the entry, with every component that exists in
    // some case spelled as on disk.
    static bool ResolveInside(const std::string& folder, const std::string& path, std::string& resolved);
    // An existing regular file (after links); folders, devices, FIFOs and sockets are not.
    static bool IsRegularFile(const std::string& path);
};
