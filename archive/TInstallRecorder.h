#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "archive/IItemReplaceHook.h"
#include "archive/TInstallRecord.h"
#include "archive/TRecordStore.h"

// Records one installation into the target folder's install record: every file put in place,
// with its size and hash, and a backup of each file that was there before Setup first
// wrote over it. Extraction threads call the hook; the worker calls the rest.
class TInstallRecorder final : public IItemReplaceHook {
public:
    // archives are full paths below programFolder, in installation order.
    TInstallRecorder(const TRecordStore& store, const std::string& targetFolder,
                     const std::string& programFolder, const std::vector<std::string>& archives);

    // Loads (or begins) the folder's record and writes the installation as running.
    // False when no record can be kept here: the installation then goes on unrecorded.
    bool Begin();
    bool Active() const;
    // The archive (index into the constructor's list) whose items the hook sees next.
    void BeginArchive(std::size_t index);
    // Writes what is recorded so far.
    void Flush();
    // Writes the end: status "complete", "failed" or "cancelled".
    void Finish(const std::string& status);

    // IItemReplaceHook. Before raises when a file that is there cannot be backed up.
    void BeforeReplace(const std::string& destPath, const std::string& relativePath) override;
    void AfterReplace(const std::string& destPath, const std::string& relativePath, uint64_t size,
                      const std::string& fingerprint) override;
    void FolderCreated(const std::string& relativePath) override;

    // The catalogue path ("Folder/archive.7z") of a full archive path below programFolder.
    static std::string CataloguePath(const std::string& programFolder, const std::string& archive);
    // The current time as the record writes it.
    static std::string NowText();

private:
    void SaveLocked();
    void SaveIfDue();

    TRecordStore FStore;
    std::string FTargetFolder;
    std::string FProgramFolder;
    std::vector<std::string> FArchives;  // catalogue paths

    mutable std::mutex FMutex;
    std::optional<TInstallRecord> FRecord;
    std::string FBackups;
    std::size_t FInstall = 0;
    std::string FCurrentArchive;
    bool FDirty = false;
    std::chrono::steady_clock::time_point FLastSave;
};
