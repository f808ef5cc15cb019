#pragma once

#include <string>

// A fresh folder under TMPDIR (else /tmp) that goes with everything in it when this object
// goes, or at Remove(). Runs write into fresh sub-folders from Fresh() and nothing is deleted
// before the end: creating files where many were just deleted is far slower on some file
// systems, and would be timed as ours.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& prefix);
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::string& Path() const { return FPath; }
    // Path()/name, or a name not used before in this folder when name ends in '#'.
    std::string Fresh(const std::string& name);
    void Remove();
    // Folders made below this one are placed over the file system's block groups as if they
    // were top-level (ext4): runs then do not pay for files other programs deleted nearby.
    // False where the file system has no such flag.
    bool SpreadOverBlockGroups() const;

private:
    std::string FPath;
    int FSerial = 0;
};
