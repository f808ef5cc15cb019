#include "archive/TJournalStore.h"

#include "archive/EJournalError.h"
#include "archive/TFileDigest.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TEnvironment.h"
#include "platform/TFileOps.h"
#include "platform/TFolderListing.h"
#include "platform/TReadOnlyFile.h"

namespace {
const char* const JournalExt = ".journal";
// Journals are listed to find a selection; more folders than this are not looked at.
constexpr std::size_t MaxJournals = 4096;
}

TJournalStore::TJournalStore(std::string root) : FRoot(IncludeTrailingPathDelimiter(root)) {}

std::string TJournalStore::DefaultRoot()
{
    return GetUserDataFolder() + "/Setup/";
}

std::string TJournalStore::CanonicalFolder(const std::string& folder)
{
    if (folder.empty() || !DirectoryExists(folder))
        return {};
    return CanonicalPath(folder);
}

std::string TJournalStore::FolderId(const std::string& canonicalTarget) const
{
    // A fixed-length name whatever the folder's path; the record itself names the folder.
    return TFileDigest::OfBytes(canonicalTarget).substr(0, 32);
}

std::string TJournalStore::JournalPath(const std::string& canonicalTarget) const
{
    return FRoot + "journals/" + FolderId(canonicalTarget) + JournalExt;
}

std::string TJournalStore::BackupFolder(const std::string& canonicalTarget) const
{
    return FRoot + "backups/" + FolderId(canonicalTarget) + "/";
}

std::optional<TInstallJournal> TJournalStore::Load(const std::string& canonicalTarget) const
{
    const std::string path = JournalPath(canonicalTarget);
    if (!TFileOps::EntryExists(path))
        return std::nullopt;
    std::string text;
    try {
        text = TReadOnlyFile::ReadWhole(path, TInstallJournal::MaxBytes);
    } catch (const std::exception& e) {
        throw EJournalError(EJournalError::TKind::Damaged, std::string("The install record cannot be read: ") + e.what());
    }
    TInstallJournal journal = TInstallJournal::Parse(text);
    if (journal.TargetFolder != canonicalTarget)
        throw EJournalError(EJournalError::TKind::Damaged, "The install record names another folder");
    return journal;
}

void TJournalStore::Save(const TInstallJournal& journal) const
{
    const std::string path = JournalPath(journal.TargetFolder);
    if (!ForceDirectories(ExtractFilePath(path)) || !TFileOps::WriteWholeFile(path, journal.Format()))
        throw Exception("Cannot write the install record " + path);
}

void TJournalStore::SetAside(const std::string& canonicalTarget) const
{
    const std::string path = JournalPath(canonicalTarget);
    const std::string aside = path + ".damaged";
    DeleteFile(aside);
    MoveFileNoReplace(path, aside);
}

bool TJournalStore::HasRecord(const std::string& folder) const
{
    const std::string target = CanonicalFolder(folder);
    if (target.empty())
        return false;
    try {
        const std::optional<TInstallJournal> j = Load(target);
        return j && !j->Files.empty();
    } catch (const EJournalError&) {
        return true;
    }
}

bool TJournalStore::LastSelection(const std::string& programFolder, std::vector<std::string>& archives) const
{
    const std::string wanted = IncludeTrailingPathDelimiter(CanonicalPath(programFolder));
    if (wanted.size() <= 1)
        return false;
    const std::string folder = FRoot + "journals/";
    std::string bestTime;
    bool found = false;
    for (const TFolderEntry& e : ListFolder(folder, MaxJournals)) {
        const std::string& n = e.Name;
        if (e.IsFolder || n.size() <= 8 || n.compare(n.size() - 8, 8, JournalExt) != 0)
            continue;
        try {
            const TInstallJournal j = TInstallJournal::Parse(TReadOnlyFile::ReadWhole(folder + n, TInstallJournal::MaxBytes));
            for (const TJournalInstall& in : j.Installs) {
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
