#pragma once

#include <string>

// An advisory lock (flock) on a folder itself, so no file is left anywhere: one copy of the
// program at a time may change what lies in the folder. The kernel drops it with the
// process, however that ends.
class TFolderLock {
public:
    TFolderLock() = default;
    ~TFolderLock();
    TFolderLock(TFolderLock&& other) noexcept;
    TFolderLock& operator=(TFolderLock&& other) noexcept;
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    // Takes the lock without waiting. False only when another holder has it; a folder that
    // cannot be locked at all (missing, a file system without locks) counts as free.
    bool TryAcquire(const std::string& folder);
    void Release();
    bool Held() const { return FHandle >= 0; }

private:
    int FHandle = -1;
};
