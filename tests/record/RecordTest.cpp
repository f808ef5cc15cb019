// Install records: their text, recording what an extraction puts in place, and taking it back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveBinding.h"
#include "archive/ERecordError.h"
#include "archive/TFileDigest.h"
#include "archive/TInstallRecorder.h"
#include "archive/TRecordStore.h"
#include "archive/TUninstaller.h"
#include "catalogue/TConflictFinder.h"
#include "platform/FileSystem.h"
#include "platform/TFolderListing.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

ERecordError::TKind KindOf(const std::string& text)
{
    try {
        TInstallRecord::Parse(text);
    } catch (const ERecordError& e) {
        return e.Kind;
    }
    ADD_FAILURE() << "accepted: " << text.size() << " bytes";
    return ERecordError::TKind::Damaged;
}

// A folder with a game's files in it, a store beside it, and the folder's state as it was.
struct TGameFolder {
    TGameFolder()
    {
        WriteFile(Target + "game.xml", "<game/>");
        WriteFile(Target + "other/keep.txt", "the game's own");
        Before = ReadTree(Target);
        BeforeEntries = ListEntries(Target);
    }
    std::string Canonical() const { return CanonicalPath(Target); }

    TTempDir Dir;
    std::string Target = Dir / "res_mods/1.0/";
    TRecordStore Store{Dir / "data/Setup/"};
    std::map<std::string, std::string> Before;
    std::vector<std::string> BeforeEntries;
};

TUninstallResult Uninstall(const TRecordStore& store, const std::string& folder)
{
    TUninstaller u(store, folder);
    EXPECT_TRUE(u.Load());
    return u.Execute(u.Plan());
}

}  // namespace

TEST(RecordText, RoundTripsAwkwardNamesAndRefusesEveryDamage)
{
    TInstallRecord j;
    j.TargetFolder = "/games/World of Tanks/res_mods/1.0";
    j.Unrecorded = 3;
    j.AddInstall({"2026-12-08T23:50:00.000Z", "complete", "/mods/\ttab\\slash\n/", {"Looks/red\r\n.7z", "Мод/b.zip"}, {}});
    j.Files["gui/a\tb\\c.txt"] = {12, std::string(64, 'a'), true, "Looks/red\r\n.7z"};
    j.Files["Мод/файл.xml"] = {0, "", false, ""};
    const std::string text = j.Format();
    const TInstallRecord back = TInstallRecord::Parse(text);
    EXPECT_EQ(back.TargetFolder, j.TargetFolder);
    EXPECT_EQ(back.Unrecorded, 3u);
    ASSERT_EQ(back.Installs.size(), 1u);
    EXPECT_EQ(back.Installs[0].ProgramFolder, j.Installs[0].ProgramFolder);
    EXPECT_EQ(back.Installs[0].Archives, j.Installs[0].Archives);
    ASSERT_EQ(back.Files.size(), 2u);
    EXPECT_TRUE(back.Files.at("gui/a\tb\\c.txt").HasBackup);
    EXPECT_EQ(back.Files.at("gui/a\tb\\c.txt").Archive, "Looks/red\r\n.7z");
    EXPECT_EQ(back.Files.at("Мод/файл.xml").Fingerprint, "");
    EXPECT_EQ(back.Format(), text);

    // Cut at any length, or any byte changed: refused as damaged.
    int accepted = 0;
    for (std::size_t n = 0; n < text.size(); ++n)
        accepted += KindOf(text.substr(0, n)) != ERecordError::TKind::Damaged;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string t = text;
        t[i] = static_cast<char>(t[i] ^ 0x21);
        accepted += KindOf(t) != ERecordError::TKind::Damaged;
    }
    EXPECT_EQ(accepted, 0);

    // A later format is told apart from damage.
    std::string later = text;
    later.replace(later.find("\t2\n"), 3, "\t3\n");
    EXPECT_EQ(KindOf(later), ERecordError::TKind::Newer);
    // Paths that lead out of the folder are refused even under a right checksum.
    for (const char* evil : {"../outside", "/etc/passwd", "a/../../b", "a//b", "./a"}) {
        TInstallRecord e = j;
        e.Files[evil] = {};
        EXPECT_EQ(KindOf(e.Format()), ERecordError::TKind::Damaged) << evil;
    }
    // The history is bounded: the oldest installations go.
    for (int i = 0; i < 40; ++i)
        j.AddInstall({std::to_string(i), "complete", "/p/", {}, {}});
    EXPECT_EQ(j.Installs.size(), TInstallRecord::MaxInstalls);
    EXPECT_EQ(j.Installs.back().Time, "39");
}

TEST(Recording, ThroughTheBindingOnlyTheFirstOverwriteIsBackedUp)
{
    TGameFolder g;
    WriteFile(g.Dir / "a/game.xml", "<mod A/>");
    WriteFile(g.Dir / "a/gui/a.txt", "alpha");
    WriteFile(g.Dir / "b/game.xml", "<mod B/>");
    WriteFile(g.Dir / "b/gui/a.txt", "beta");
    Make7zArchive(g.Dir / "prog/Mods/A.7z", g.Dir / "a", "-t7z");
    Make7zArchive(g.Dir / "prog/Mods/B.zip", g.Dir / "b", "-tzip");
    const std::vector<std::string> archives = {g.Dir / "prog/Mods/A.7z", g.Dir / "prog/Mods/B.zip"};

    TInstallRecorder recorder(g.Store, g.Target, g.Dir / "prog/", archives);
    ASSERT_TRUE(recorder.Begin());
    for (std::size_t i = 0; i < archives.size(); ++i) {
        TGUID id{};
        ASSERT_TRUE(FormatIdForExtension(i == 0 ? ".7z" : ".zip", id));
        I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
        reader->OpenArchiveFile(archives[i]);
        recorder.BeginArchive(i);
        reader->SetReplaceHook(&recorder);
        reader->ExtractAllToFolder(g.Target);
    }
    recorder.Finish("complete");

    const std::optional<TInstallRecord> j = g.Store.Load(g.Canonical());
    ASSERT_TRUE(j);
    ASSERT_EQ(j->Installs.size(), 1u);
    EXPECT_EQ(j->Installs[0].Status, "complete");
    EXPECT_EQ(j->Installs[0].Archives, (std::vector<std::string>{"Mods/A.7z", "Mods/B.zip"}));
    ASSERT_EQ(j->Files.size(), 2u);
    const TRecordFile& game = j->Files.at("game.xml");
    EXPECT_TRUE(game.HasBackup);
    EXPECT_EQ(game.Archive, "Mods/B.zip");
    EXPECT_EQ(game.Fingerprint, TFileDigest::Fingerprint("<mod B/>"));
    EXPECT_FALSE(j->Files.at("gui/a.txt").HasBackup);  // A's file, not the game's
    // B's overwrite did not replace the copy of the game's file with A's.
    EXPECT_EQ(ReadFile(g.Store.BackupFolder(g.Canonical()) + "game.xml"), "<game/>");

    const TUninstallResult r = Uninstall(g.Store, g.Target);
    EXPECT_EQ(r.Removed, 1u);
    EXPECT_EQ(r.Restored, 1u);
    EXPECT_TRUE(r.Kept.empty() && r.Failed.empty());
    EXPECT_EQ(ReadTree(g.Target), g.Before);
    EXPECT_EQ(ListEntries(g.Target), g.BeforeEntries);  // the emptied gui/ went too
    EXPECT_TRUE(ListEntries(g.Store.BackupFolder(g.Canonical())).empty());
}

TEST(Recording, HookCalledFromManyThreadsRecordsEveryFile)
{
    TGameFolder g;
    constexpr int Threads = 8, PerThread = 150;
    // Every third file is there before: the game's.
    for (int t = 0; t < Threads; ++t)
        for (int i = 0; i < PerThread; i += 3)
            WriteFile(g.Target + "t" + std::to_string(t) + "/f" + std::to_string(i), "orig " + std::to_string(i));
    g.Before = ReadTree(g.Target);
    g.BeforeEntries = ListEntries(g.Target);

    TInstallRecorder recorder(g.Store, g.Target, g.Dir / "prog/", {g.Dir / "prog/Mods/A.7z"});
    ASSERT_TRUE(recorder.Begin());
    recorder.BeginArchive(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < PerThread; ++i) {
                const std::string rel = "t" + std::to_string(t) + "/f" + std::to_string(i);
                const std::string dest = g.Target + rel;
                const std::string temp = g.Target + rel + ".tmp";
                ForceDirectories(g.Target + "t" + std::to_string(t));
                WriteFile(temp, "new " + rel);
                recorder.BeforeReplace(dest, rel);
                std::rename(temp.c_str(), dest.c_str());
                recorder.AfterReplace(dest, rel, ("new " + rel).size(), TFileDigest::OfBytes("new " + rel));
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    recorder.Finish("complete");

    const std::optional<TInstallRecord> j = g.Store.Load(g.Canonical());
    ASSERT_TRUE(j);
    ASSERT_EQ(j->Files.size(), static_cast<std::size_t>(Threads * PerThread));
    int wrong = 0;
    for (const auto& [rel, f] : j->Files)
        wrong += f.Fingerprint != TFileDigest::OfBytes("new " + rel) || f.HasBackup != (g.Before.count(rel) > 0);
    EXPECT_EQ(wrong, 0);

    const TUninstallResult r = Uninstall(g.Store, g.Target);
    EXPECT_EQ(r.Restored, g.Before.size() - 2);  // less the two files of TGameFolder
    EXPECT_EQ(r.Removed + r.Restored, static_cast<std::size_t>(Threads * PerThread));
    EXPECT_EQ(ReadTree(g.Target), g.Before);
    EXPECT_EQ(ListEntries(g.Target), g.BeforeEntries);
}

TEST(Uninstall, KeepsChangedFilesAndWhatCannotBeRestoredAndTrustsNoDamagedRecord)
{
    TGameFolder g;
    TInstallRecorder recorder(g.Store, g.Target, g.Dir / "prog/", {g.Dir / "prog/Mods/A.7z"});
    ASSERT_TRUE(recorder.Begin());
    // As the binding does it: a finished file renamed over its destination. The SHA-256
    // fingerprints are those of records written before XXH3: still compared by SHA-256.
    auto install = [&](const std::string& rel, const std::string& bytes) {
        WriteFile(g.Dir / "finished", bytes);
        recorder.BeforeReplace(g.Target + rel, rel);
        ASSERT_EQ(std::rename((g.Dir / "finished").c_str(), (g.Target + rel).c_str()), 0);
        recorder.AfterReplace(g.Target + rel, rel, bytes.size(), TFileDigest::OfBytes(bytes));
    };
    install("mod.txt", "mod");
    install("edited.txt", "as installed");
    install("game.xml", "<mod/>");
    install("other/keep.txt", "mod's keep");
    recorder.Finish("complete");

    WriteFile(g.Target + "edited.txt", "the player's edit");
    ASSERT_TRUE(DeleteFile(g.Store.BackupFolder(g.Canonical()) + "other/keep.txt"));

    // A record cut short is refused before anything is touched.
    const std::string recordPath = g.Store.RecordPath(g.Canonical());
    const std::string whole = ReadFile(recordPath);
    WriteFile(recordPath, whole.substr(0, whole.size() - 20));
    const auto installed = ReadTree(g.Target);
    TUninstaller damaged(g.Store, g.Target);
    EXPECT_THROW(damaged.Load(), ERecordError);
    EXPECT_TRUE(g.Store.HasRecord(g.Target));
    EXPECT_EQ(ReadTree(g.Target), installed);

    WriteFile(recordPath, whole);
    const TUninstallResult r = Uninstall(g.Store, g.Target);
    EXPECT_EQ(r.Removed, 1u);
    EXPECT_EQ(r.Restored, 1u);
    EXPECT_EQ(r.Kept, std::vector<std::string>{"edited.txt"});
    ASSERT_EQ(r.Failed.size(), 1u);
    EXPECT_EQ(r.Failed[0].rfind("other/keep.txt: ", 0), 0u) << r.Failed[0];
    EXPECT_EQ(ReadFile(g.Target + "edited.txt"), "the player's edit");
    EXPECT_EQ(ReadFile(g.Target + "other/keep.txt"), "mod's keep");
    EXPECT_EQ(ReadFile(g.Target + "game.xml"), "<game/>");
    EXPECT_FALSE(FileExists(g.Target + "mod.txt"));
    // What stays is still on record, so a later uninstall lists it again.
    const std::optional<TInstallRecord> left = g.Store.Load(g.Canonical());
    ASSERT_TRUE(left);
    EXPECT_EQ(left->Files.size(), 2u);
}

TEST(Conflicts, TheLastArchiveHoldingAFileWinsAndEachFileCountsOnce)
{
    auto list = [](std::initializer_list<const char*> names) {
        TFileNameList l;
        for (const char* n : names)
            l.Add(n);
        return l;
    };
    const TFileNameList a = list({"gui/x", "common", "common", "only-a"});
    const TFileNameList b = list({"common", "gui/x", "b1"});
    const TFileNameList c = list({"gui/x"});
    const std::vector<TConflict> found = TConflictFinder::Find({&a, nullptr, &b, &c});
    ASSERT_EQ(found.size(), 3u);
    // b wins common over a; c wins gui/x over a and over b.
    EXPECT_EQ(std::make_tuple(found[0].Loser, found[0].Winner, found[0].Count), std::make_tuple(0u, 2u, 1u));
    EXPECT_EQ(found[0].Examples, std::vector<std::string>{"common"});
    EXPECT_EQ(std::make_tuple(found[1].Loser, found[1].Winner, found[1].Count), std::make_tuple(0u, 3u, 1u));
    EXPECT_EQ(std::make_tuple(found[2].Loser, found[2].Winner, found[2].Count), std::make_tuple(2u, 3u, 1u));
    // Archives that share nothing, or one alone, give no note.
    EXPECT_TRUE(TConflictFinder::Find({&b, nullptr}).empty());
    EXPECT_TRUE(TConflictFinder::Find({&a}).empty());
}

// Uninstall acts beneath the folder only: files reached through links the player put in
// place of folders are kept and listed (the files behind the links untouched), folders the
// player had stay, and folders the installation made go.
TEST(Uninstall, StaysBeneathTheFolderAndRemovesOnlyFoldersItMade)
{
    TGameFolder g;
    WriteFile(g.Target + "audioww/game.bnk", "the game's bank");
    ASSERT_TRUE(ForceDirectories(g.Target + "gui/flash"));  // the player's, empty
    WriteFile(g.Dir / "src/gui/crosshair/t.txt", "crosshair");
    WriteFile(g.Dir / "src/audioww/game.bnk", "the mod's bank");
    WriteFile(g.Dir / "src/new/deep/n.txt", "new");
    Make7zArchive(g.Dir / "prog/Mods/A.7z", g.Dir / "src", "-t7z");

    TInstallRecorder recorder(g.Store, g.Target, g.Dir / "prog/", {g.Dir / "prog/Mods/A.7z"});
    ASSERT_TRUE(recorder.Begin());
    TGUID id{};
    ASSERT_TRUE(FormatIdForExtension(".7z", id));
    I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
    reader->OpenArchiveFile(g.Dir / "prog/Mods/A.7z");
    recorder.BeginArchive(0);
    reader->SetReplaceHook(&recorder);
    reader->ExtractAllToFolder(g.Target);
    recorder.Finish("complete");
    const std::optional<TInstallRecord> j = g.Store.Load(g.Canonical());
    ASSERT_TRUE(j);
    EXPECT_EQ(j->Installs[0].Folders, (std::vector<std::string>{"gui/crosshair", "new", "new/deep"}));

    // The player replaces two folders by links to look-alikes outside.
    const std::string out1 = g.Dir / "outside1/", out2 = g.Dir / "outside2/";
    WriteFile(out1 + "t.txt", "crosshair");
    WriteFile(out2 + "game.bnk", "the mod's bank");
    fs::remove_all(g.Target + "gui/crosshair");
    fs::remove_all(g.Target + "audioww");
    fs::create_directory_symlink(out1, g.Target + "gui/crosshair");
    fs::create_directory_symlink(out2, g.Target + "audioww");

    const TUninstallResult r = Uninstall(g.Store, g.Target);
    std::vector<std::string> outside = r.Outside;
    std::sort(outside.begin(), outside.end());
    EXPECT_EQ(outside, (std::vector<std::string>{"audioww/game.bnk", "gui/crosshair/t.txt"}));
    EXPECT_EQ(ReadFile(out1 + "t.txt"), "crosshair");
    EXPECT_EQ(ReadFile(out2 + "game.bnk"), "the mod's bank");
    EXPECT_EQ(r.Removed, 1u);  // new/deep/n.txt
    EXPECT_TRUE(fs::is_directory(g.Target + "gui/flash"));
    EXPECT_FALSE(fs::exists(g.Target + "new"));
    EXPECT_TRUE(fs::is_symlink(g.Target + "gui/crosshair"));
    // Their records stay, so the files are listed again next time.
    const std::optional<TInstallRecord> left = g.Store.Load(g.Canonical());
    ASSERT_TRUE(left);
    EXPECT_EQ(left->Files.size(), 2u);
}
