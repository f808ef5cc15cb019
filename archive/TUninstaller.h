#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/TInstallRecord.h"
#include "archive/TRecordStore.h"
#include "platform/TBeneathFolder.h"

// What the uninstall does with one recorded file.
enum class TUninstallAction {
    Remove,   // still what Setup wrote, nothing was there before: delete it
    Restore,  // still what Setup wrote (or gone), an original was kept: put it back
    Forget,   // gone and nothing was there before: only the record goes
    Keep,     // changed since Setup wrote it: left as it is and listed
    Outside,  // reached only through a link that leads out of the folder: left and listed
};

struct TUninstallStep {
    std::string Path;  // below the target folder
    TUninstallAction Action = TUninstallAction::Keep;
};

struct TUninstallResult {
    std::size_t Removed = 0;
    std::size_t Restored = 0;
    std::vector<std::string> Kept;    // changed since installation, left in place
    std::vector<std::string> Outside; // reached only through a link out of the folder, left
    std::vector<std::string> Failed;  // could not be removed or restored, with the reason
    uint64_t Unrecorded = 0;          // files installed beyond the record's bound
    std::string RecordError;          // the record could not be written afterwards
};

// Takes back what Setup installed into one folder, by its install record: files that are still
// as written are removed, overwritten originals come back from the backups, folders the
// installations made go when left empty; files changed since are kept. Every path is
// resolved beneath the folder: nothing outside it is read, removed or written, whatever
// links lie in the way. A record that cannot be trusted stops it before anything is touched.
class TUninstaller {
public:
    TUninstaller(const TRecordStore& store, const std::string& folder);

    // False when the folder has no record. Raises ERecordError when it is damaged or of
    // a later format; nothing has been touched then.
    bool Load();
    const TInstallRecord& Record() const { return FRecord; }
    // Compares every recorded file with the disk; changes nothing.
    std::vector<TUninstallStep> Plan() const;
    // Carries the plan out and writes the record with what is left in it.
    TUninstallResult Execute(const std::vector<TUninstallStep>& plan);

private:
    bool RestoreOriginal(const TBeneathFolder& target, const std::string& path, std::string& reason);
    // The folders the installations made, deepest first, while they are empty; the record
    // keeps those that are still there.
    void RemoveMadeFolders(const TBeneathFolder& target);
    // Removes the folders above path, up to (not including) root, while they are empty.
    static void RemoveEmptyParents(const std::string& root, const std::string& path);

    TRecordStore FStore;
    std::string FFolder;
    std::string FTarget;  // canonical, with the delimiter
    TInstallRecord FRecord;
};
