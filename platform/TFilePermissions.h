#pragma once

#include <string>

// Permission bits of files, for a file that must stay runnable after it is replaced.
class TFilePermissions {
public:
    // Adds the execute bits that from has to to (those it lacks); false when either
    // file cannot be read or changed.
    static bool CopyExecuteBits(const std::string& from, const std::string& to);
    // Gives to the read, write and execute bits of from, when from exists; the set-id and
    // sticky bits are not carried over. False when from is missing or to cannot be changed.
    static bool CopyPermissionBits(const std::string& from, const std::string& to);
    static bool IsExecutable(const std::string& path);
};
