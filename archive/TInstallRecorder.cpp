#include "archive/TInstallRecorder.h"

#include <algorithm>
#include <ctime>

#include "archive/EArchiveError.h"
#include "archive/ERecordError.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFileOps.h"
#include "platform/TFolderListing.h"

namespace {
// While an archive is extracted the record is written at most this often, so a process
// that is killed loses little and a large record is not rewritten per file.
constexpr auto SaveInterval = std::chrono::seconds(2);
}

TInstallRecorder::TInstallRecorder(const TRecordStore& store, const std::string& targetFolder,
                                   const std::string& programFolder, const std::vector<std::string>& archives)
    : FStore(store), FTargetFolder(targetFolder)
{
    const std::string canonicalProgram = CanonicalPath(programFolder);
    FProgramFolder = IncludeTrailingPathDelimiter(canonicalProgram.empty() ? programFolder : canonicalProgram);
    for (const std::string& a : archives)
        FArchives.push_back(CataloguePath(programFolder, a));
}

std::string TInstallRecorder::CataloguePath(const std::string& programFolder, const std::string& archive)
{
    const std::string prefix = IncludeTrailingPathDelimiter(programFolder);
    if (archive.size() > prefix.size() && archive.compare(0, prefix.size(), prefix) == 0)
        return archive.substr(prefix.size());
    return archive;
}

std::string TInstallRecorder::NowText()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm {};
    gmtime_r(&t, &tm);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return buf;
}

bool TInstallRecorder::Begin()
{
    std::lock_guard<std::mutex> lock(FMutex);
    const std::string target = TRecordStore::CanonicalFolder(FTargetFolder);
    if (target.empty())
        return false;
    TInstallRecord record;
    try {
        if (std::optional<TInstallRecord> old = FStore.Load(target))
            record = std::move(*old);
    } catch (const ERecordError& e) {
        // A record of a later build is not ours to rewrite; a damaged one is kept aside
        // and a new one begun. Backups on disk stay where they are and are never replaced.
        if (e.Kind == ERecordError::TKind::Newer)
            return false;
        FStore.SetAside(target);
    }
    record.TargetFolder = target;
    record.AddInstall(TRecordInstall{NowText(), "running", FProgramFolder, FArchives, {}});
    FInstall = record.Installs.size() - 1;
    FRecord = std::move(record);
    FBackups = FStore.BackupFolder(target);
    try {
        SaveLocked();
    } catch (...) {
        FRecord.reset();
        return false;
    }
    return true;
}

bool TInstallRecorder::Active() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    return FRecord.has_value();
}

void TInstallRecorder::BeginArchive(std::size_t index)
{
    std::lock_guard<std::mutex> lock(FMutex);
    FCurrentArchive = index < FArchives.size() ? FArchives[index] : std::string();
}

void TInstallRecorder::SaveLocked()
{
    FStore.Save(*FRecord);
    FDirty = false;
    FLastSave = std::chrono::steady_clock::now();
}

void TInstallRecorder::Flush()
{
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FRecord || !FDirty)
        return;
    try {
        SaveLocked();
    } catch (...) {
        // The next save tries again; the installation itself is not stopped for it.
    }
}

void TInstallRecorder::Finish(const std::string& status)
{
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FRecord)
        return;
    FRecord->Installs[FInstall].Status = status;
    try {
        SaveLocked();
    } catch (...) {
    }
}

void TInstallRecorder::BeforeReplace(const std::string& destPath, const std::string& relativePath)
{
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FRecord || FRecord->Files.count(relativePath))
        return;  // written by Setup before: its backup, if any, is the original's
    if (FRecord->Files.size() >= TInstallRecord::MaxFiles) {
        ++FRecord->Unrecorded;
        FDirty = true;
        return;
    }
    TRecordFile entry;
    if (TFileOps::EntryExists(destPath)) {
        // The first overwrite of a file Setup did not write: keep the original. A backup
        // already there (from a record that was set aside) is older and so kept as it is.
        const std::string backup = FBackups + relativePath;
        if (!TFileOps::EntryExists(backup)) {
            if (!ForceDirectories(ExtractFilePath(backup)) || !TFileOps::LinkOrCopy(destPath, backup))
                throw EArchiveError("Cannot back up file " + destPath);
        }
        entry.HasBackup = true;
    }
    entry.Archive = FCurrentArchive;
    FRecord->Files[relativePath] = std::move(entry);
    FDirty = true;
    SaveIfDue();
}

void TInstallRecorder::AfterReplace(const std::string&, const std::string& relativePath, uint64_t size,
                                    const std::string& fingerprint)
{
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FRecord)
        return;
    auto it = FRecord->Files.find(relativePath);
    if (it == FRecord->Files.end())
        return;
    it->second.Size = size;
    it->second.Fingerprint = fingerprint;
    it->second.Archive = FCurrentArchive;
    FDirty = true;
    SaveIfDue();
}

void TInstallRecorder::SaveIfDue()
{
    // A backup whose record was lost with a killed process is still found by its path
    // (the backups mirror the folder) and kept by the next installation.
    if (std::chrono::steady_clock::now() - FLastSave < SaveInterval)
        return;
    try {
        SaveLocked();
    } catch (...) {
    }
}

void TInstallRecorder::FolderCreated(const std::string& relativePath)
{
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FRecord || FInstall >= FRecord->Installs.size())
        return;
    std::vector<std::string>& folders = FRecord->Installs[FInstall].Folders;
    // Two readers of one archive may both make a folder's parent.
    if (std::find(folders.begin(), folders.end(), relativePath) != folders.end())
        return;
    folders.push_back(relativePath);
    FDirty = true;
}
