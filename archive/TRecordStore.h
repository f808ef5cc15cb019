#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/TInstallRecord.h"

// Where install records and the backups of overwritten files live: outside the game's
// folders, under the user's data folder (Setup/journals/<id>.journal and
// Setup/backups/<id>/<path below the target>), one record per target folder.
class TRecordStore {
public:
    // root ends in the delimiter; by default the user's data folder + "Setup/".
    explicit TRecordStore(std::string root = DefaultRoot());
    static std::string DefaultRoot();
    // The form a target folder is recorded under; "" when it does not exist.
    static std::string CanonicalFolder(const std::string& folder);

    const std::string& Root() const { return FRoot; }
    std::string RecordPath(const std::string& canonicalTarget) const;
    // Ends in the delimiter; a file's backup is this + its path below the target.
    std::string BackupFolder(const std::string& canonicalTarget) const;

    // No value when the folder has no record. Raises ERecordError when the record is
    // damaged or of a later format.
    std::optional<TInstallRecord> Load(const std::string& canonicalTarget) const;
    // Raises Exception when the record cannot be written.
    void Save(const TInstallRecord& record) const;
    // Keeps a damaged record under another name (one per folder), so a new one can begin.
    void SetAside(const std::string& canonicalTarget) const;

    // Whether the uninstall has something to say about folder: a record with files in it,
    // or one that cannot be read.
    bool HasRecord(const std::string& folder) const;
    // The archives of the latest installation from programFolder into any folder; false
    // when there is none. Records that cannot be read are passed over.
    bool LastSelection(const std::string& programFolder, std::vector<std::string>& archives) const;

private:
    std::string FolderId(const std::string& canonicalTarget) const;

    std::string FRoot;
};
