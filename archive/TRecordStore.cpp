#include "archive/TRecordStore.h"

#include "archive/ERecordError.h"
#include "archive/TFileDigest.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TEnvironment.h"
#include "platform/TFileOps.h"
#include "platform/TFolderListing.h"
#include "platform/TReadOnlyFile.h"

namespace {
// kept: stored records use them
const char* const RecordFolder = "journals/";
const char* const RecordExt = ".journal";
// Records are listed to find a selection; more folders than this are not looked at.
constexpr std::size_t MaxRecords = 4096;
}

TRecordStore::TRecordStore(std::string root) : FRoot(IncludeTrailingPathDelimiter(root)) {}

std::string TRecordStore::DefaultRoot()
{
    return GetUserDataFolder() + "/Setup/";
}

std::string TRecordStore::CanonicalFolder(const std::string& folder)
{
    if (folder.empty() || !DirectoryExists(folder))
        return {};
    return CanonicalPath(folder);
}

std::string TRecordStore::FolderId(const std::string& canonicalTarget) const
{
    // A fixed-length name whatever the folder's path; the record itself names the folder.
    return TFileDigest::OfBytes(canonicalTarget).substr(0, 32);
}

std::string TRecordStore::RecordPath(const std::string& canonicalTarget) const
{
    return FRoot + RecordFolder + FolderId(canonicalTarget) + RecordExt;
}

std::string TRecordStore::BackupFolder(const std::string& canonicalTarget) const
{
    return FRoot + "backups/" + FolderId(canonicalTarget) + "/";
}

std::optional<TInstallRecord> TRecordStore::Load(const std::string& canonicalTarget) const
{
    const std::string path = RecordPath(canonicalTarget);
    if (!TFileOps::EntryExists(path))
        return std::nullopt;
    std::string text;
    try {
        text = TReadOnlyFile::ReadWhole(path, TInstallRecord::MaxBytes);
    } catch (const std::exception& e) {
        throw ERecordError(ERecordError::TKind::Damaged, std::string("The install record cannot be read: ") + e.what());
    }
    TInstallRecord record = TInstallRecord::Parse(text);
    if (record.TargetFolder != canonicalTarget)
        throw ERecordError(ERecordError::TKind::Damaged, "The install record names another folder");
    return record;
}

void TRecordStore::Save(const TInstallRecord& record) const
{
    const std::string path = RecordPath(record.TargetFolder);
    if (!ForceDirectories(ExtractFilePath(path)) || !TFileOps::WriteWholeFile(path, record.Format()))
        throw Exception("Cannot write the install record " + path);
}

void TRecordStore::SetAside(const std::string& canonicalTarget) const
{
    const std::string path = RecordPath(canonicalTarget);
    const std::string aside = path + ".damaged";
    DeleteFile(aside);
    MoveFileNoReplace(path, aside);
}

bool TRecordStore::HasRecord(const std::string& folder) const
{
    const std::string target = CanonicalFolder(folder);
    if (target.empty())
        return false;
    try {
        const std::optional<TInstallRecord> j = Load(target);
        return j && !j->Files.empty();
    } catch (const ERecordError&) {
        return true;
    }
}

bool TRecordStore::LastSelection(const std::string& programFolder, std::vector<std::string>& archives) const
{
    const std::string wanted = IncludeTrailingPathDelimiter(CanonicalPath(programFolder));
    if (wanted.size() <= 1)
        return false;
    const std::string folder = FRoot + RecordFolder;
    std::string bestTime;
    bool found = false;
    for (const TFolderEntry& e : ListFolder(folder, MaxRecords)) {
        const std::string& n = e.Name;
        if (e.IsFolder || n.size() <= 8 || n.compare(n.size() - 8, 8, RecordExt) != 0)
            continue;
        try {
            const TInstallRecord j = TInstallRecord::Parse(TReadOnlyFile::ReadWhole(folder + n, TInstallRecord::MaxBytes));
            for (const TRecordInstall& in : j.Installs) {
                // Times are fixed-width UTC, so text order is time order.
                if (in.ProgramFolder == wanted && !in.Archives.empty() && (!found || in.Time >= bestTime)) {
                    bestTime = in.Time;
                    archives = in.Archives;
                    found = true;
                }
            }
        } catch (const std::exception&) {
        }
    }
    return found;
}
