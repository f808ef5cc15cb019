#include "archive/TUninstaller.h"

#include "archive/TFileDigest.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFileOps.h"
#include "platform/TFileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <unistd.h>

TUninstaller::TUninstaller(const TRecordStore& store, const std::string& folder) : FStore(store), FFolder(folder) {}

bool TUninstaller::Load()
{
    const std::string target = TRecordStore::CanonicalFolder(FFolder);
    if (target.empty())
        return false;
    std::optional<TInstallRecord> j = FStore.Load(target);
    if (!j)
        return false;
    FRecord = std::move(*j);
    FTarget = IncludeTrailingPathDelimiter(target);
    return true;
}

std::vector<TUninstallStep> TUninstaller::Plan() const
{
    std::vector<TUninstallStep> plan;
    plan.reserve(FRecord.Files.size());
    const TBeneathFolder target(FTarget);
    for (const auto& [path, f] : FRecord.Files) {
        TUninstallStep step{path, TUninstallAction::Keep};
        bool regular = false;
        uint64_t size = 0;
        const TBeneathFolder::TWhere where =
            target.Valid() ? target.Locate(path, regular, size) : TBeneathFolder::TWhere::Outside;
        if (where == TBeneathFolder::TWhere::Outside) {
            step.Action = TUninstallAction::Outside;
        } else if (where == TBeneathFolder::TWhere::Missing) {
            step.Action = f.HasBackup ? TUninstallAction::Restore : TUninstallAction::Forget;
        } else if (!f.Fingerprint.empty() && regular && size == f.Size) {
            // Read through the descriptor found beneath, never by the name again.
            const int fd = target.OpenRead(path);
            std::string sha;
            if (fd >= 0 && TFileDigest::Compute("/proc/self/fd/" + std::to_string(fd), size, sha, f.Fingerprint) &&
                sha == f.Fingerprint)
                step.Action = f.HasBackup ? TUninstallAction::Restore : TUninstallAction::Remove;
            if (fd >= 0)
                ::close(fd);
        }
        plan.push_back(std::move(step));
    }
    return plan;
}

TUninstallResult TUninstaller::Execute(const std::vector<TUninstallStep>& plan)
{
    TUninstallResult result;
    result.Unrecorded = FRecord.Unrecorded;
    const std::string backups = FStore.BackupFolder(FRecord.TargetFolder);
    const TBeneathFolder target(FTarget);
    for (const TUninstallStep& step : plan) {
        auto it = FRecord.Files.find(step.Path);
        if (it == FRecord.Files.end())
            continue;
        switch (step.Action) {
        case TUninstallAction::Keep:
            result.Kept.push_back(step.Path);
            continue;
        case TUninstallAction::Outside:
            result.Outside.push_back(step.Path);
            continue;
        case TUninstallAction::Forget:
            break;
        case TUninstallAction::Remove: {
            // Planned beneath; looked at again, as the folder may have changed since.
            bool regular = false;
            uint64_t size = 0;
            if (target.Locate(step.Path, regular, size) == TBeneathFolder::TWhere::Outside) {
                result.Outside.push_back(step.Path);
                continue;
            }
            if (!target.Unlink(step.Path)) {
                result.Failed.push_back(step.Path + ": " + std::strerror(errno));
                continue;
            }
            ++result.Removed;
            break;
        }
        case TUninstallAction::Restore: {
            std::string reason;
            if (!RestoreOriginal(target, step.Path, reason)) {
                if (errno == EXDEV && reason.empty())
                    result.Outside.push_back(step.Path);
                else
                    result.Failed.push_back(step.Path + ": " + reason);
                continue;
            }
            ++result.Restored;
            RemoveEmptyParents(backups, backups + step.Path);
            break;
        }
        }
        FRecord.Files.erase(it);
    }
    RemoveMadeFolders(target);
    if (FRecord.Files.empty())
        FRecord.Unrecorded = 0;
    try {
        FStore.Save(FRecord);
    } catch (const std::exception& e) {
        result.RecordError = e.what();
    }
    return result;
}

bool TUninstaller::RestoreOriginal(const TBeneathFolder& target, const std::string& path, std::string& reason)
{
    const std::string backup = FStore.BackupFolder(FRecord.TargetFolder) + path;
    if (!TFileOps::EntryExists(backup)) {
        // Setup's file stays: without the original, removing it would leave a gap.
        reason = "the copy of the original is missing";
        errno = 0;
        return false;
    }
    bool regular = false;
    uint64_t size = 0;
    if (!target.Valid() || target.Locate(path, regular, size) == TBeneathFolder::TWhere::Outside) {
        errno = EXDEV;
        return false;
    }
    if (target.MoveInto(backup, path))
        return true;
    if (errno == EXDEV)
        return false;  // a folder on the way leads out: the original stays in the backups
    reason = "the original cannot be put back";
    return false;
}

void TUninstaller::RemoveMadeFolders(const TBeneathFolder& target)
{
    std::vector<std::pair<std::size_t, std::size_t>> order;  // (install, folder), deepest first
    for (std::size_t i = 0; i < FRecord.Installs.size(); ++i)
        for (std::size_t k = 0; k < FRecord.Installs[i].Folders.size(); ++k)
            order.emplace_back(i, k);
    auto depth = [this](const std::pair<std::size_t, std::size_t>& p) {
        const std::string& f = FRecord.Installs[p.first].Folders[p.second];
        return std::count(f.begin(), f.end(), '/');
    };
    std::stable_sort(order.begin(), order.end(), [&depth](const auto& a, const auto& b) { return depth(a) > depth(b); });
    std::vector<std::vector<bool>> gone(FRecord.Installs.size());
    for (std::size_t i = 0; i < FRecord.Installs.size(); ++i)
        gone[i].assign(FRecord.Installs[i].Folders.size(), false);
    for (const auto& [i, k] : order) {
        const std::string& folder = FRecord.Installs[i].Folders[k];
        bool regular = false;
        uint64_t size = 0;
        const TBeneathFolder::TWhere where = target.Locate(folder, regular, size);
        gone[i][k] = where == TBeneathFolder::TWhere::Missing ||
                     (where == TBeneathFolder::TWhere::Inside && target.RemoveEmptyFolder(folder));
    }
    for (std::size_t i = 0; i < FRecord.Installs.size(); ++i) {
        std::vector<std::string> left;
        for (std::size_t k = 0; k < gone[i].size(); ++k)
            if (!gone[i][k])
                left.push_back(FRecord.Installs[i].Folders[k]);
        FRecord.Installs[i].Folders = std::move(left);
    }
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
