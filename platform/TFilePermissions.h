#pragma once

#include <string>

// Permission bits of files, for a file that must stay runnable after it is replaced.
class TFilePermissions {
public:
    // Adds the execute bits that from has to to (those it lacks); false when either
    // file cannot be read or changed.
    static bool CopyExecuteBits(const std::string& from, const std::string& to);
    static bool IsExecutable(const std::string& path);
};
