#include "archive/TUninstaller.h"

#include "archive/TFileDigest.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFileOps.h"
#include "platform/TFileStream.h"

#include <cerrno>
#include <cstring>
#include <exception>

TUninstaller::TUninstaller(const TJournalStore& store, const std::string& folder) : FStore(store), FFolder(folder) {}

bool TUninstaller::Load()
{
    const std::string target = TJournalStore::CanonicalFolder(FFolder);
    if (target.empty())
        return false;
    std::optional<TInstallJournal> j = FStore.Load(target);
    if (!j)
        return false;
    FJournal = std::move(*j);
    FTarget = IncludeTrailingPathDelimiter(target);
    return true;
}

std::vector<TUninstallStep> TUninstaller::Plan() const
{
    std::vector<TUninstallStep> plan;
    plan.reserve(FJournal.Files.size());
    for (const auto& [path, f] : FJournal.Files) {
        TUninstallStep step{path, TUninstallAction::Keep};
        const std::string dest = FTarget + path;
        uint64_t size = 0;
        std::string sha;
        if (!TFileOps::EntryExists(dest)) {
            step.Action = f.HasBackup ? TUninstallAction::Restore : TUninstallAction::Forget;
        } else if (!f.Sha256.empty() && TFileOps::RegularFileSize(dest, size) && size == f.Size &&
                   TFileDigest::Compute(dest, size, sha) && sha == f.Sha256) {
            step.Action = f.HasBackup ? TUninstallAction::Restore : TUninstallAction::Remove;
        }
        plan.push_back(std::move(step));
    }
    return plan;
}

TUninstallResult TUninstaller::Execute(const std::vector<TUninstallStep>& plan)
{
    TUninstallResult result;
    result.Unrecorded = FJournal.Unrecorded;
    const std::string backups = FStore.BackupFolder(FJournal.TargetFolder);
    for (const TUninstallStep& step : plan) {
        auto it = FJournal.Files.find(step.Path);
        if (it == FJournal.Files.end())
            continue;
        const std::string dest = FTarget + step.Path;
        switch (step.Action) {
        case TUninstallAction::Keep:
            result.Kept.push_back(step.Path);
            continue;
        case TUninstallAction::Forget:
            break;
        case TUninstallAction::Remove:
            if (!DeleteFile(dest)) {
                result.Failed.push_back(step.Path + ": " + std::strerror(errno));
                continue;
            }
            ++result.Removed;
            RemoveEmptyParents(FTarget, dest);
            break;
        case TUninstallAction::Restore: {
            std::string reason;
            if (!RestoreOriginal(step.Path, reason)) {
                result.Failed.push_back(step.Path + ": " + reason);
                continue;
            }
            ++result.Restored;
            RemoveEmptyParents(backups, backups + step.Path);
            break;
        }
        }
        FJournal.Files.erase(it);
    }
    if (FJournal.Files.empty())
        FJournal.Unrecorded = 0;
    try {
        FStore.Save(FJournal);
    } catch (const std::exception& e) {
        result.RecordError = e.what();
    }
    return result;
}

bool TUninstaller::RestoreOriginal(const std::string& path, std::string& reason)
{
    const std::string backup = FStore.BackupFolder(FJournal.TargetFolder) + path;
    const std::string dest = FTarget + path;
    if (!TFileOps::EntryExists(backup)) {
        // Setup's file stays: without the original, removing it would leave a gap.
        reason = "the copy of the original is missing";
        return false;
    }
    ForceDirectories(ExtractFilePath(dest));
    if (TFileStream::ReplaceFile(backup, dest))
        return true;
    // The backups may lie on another file system than the game.
    if (TFileOps::CopyReplacing(backup, dest)) {
        DeleteFile(backup);
        return true;
    }
    reason = "the original cannot be put back";
    return false;
}

void TUninstaller::RemoveEmptyParents(const std::string& root, const std::string& path)
{
    std::string folder = ExtractFilePath(path);
    while (folder.size() > root.size() && folder.compare(0, root.size(), root) == 0) {
        folder.pop_back();
        if (!TFileOps::RemoveEmptyFolder(folder))
            return;
        folder = ExtractFilePath(folder);
    }
}
