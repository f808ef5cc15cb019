// The catalogue build and the archive probe, against archives made by the 7z tool. No
// window: the builder fills the node collection and tells the page what to show.
#include "test_catalogue_support.h"

#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "archive/EArchiveError.h"
#include "catalogue/ICataloguePage.h"
#include "catalogue/ProbeArchive.h"
#include "catalogue/TCatalogueBuilder.h"
#include "catalogue/TCheckToggle.h"
#include "catalogue/TNodeStateSetter.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"

#include <QtTest>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string ReadFixture(const char* name)
{
    QFile file(QStringLiteral(SETUP_TEST_RAR_FIXTURES "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll().toStdString();
}


// The files page as the builder sees it: what it was last told to show.
class TRecordedPage : public ICataloguePage {
public:
    explicit TRecordedPage(const TTreeNodes& nodes) : FNodes(nodes) {}

    bool HideInaccessible() const override { return Hiding; }
    void ShowHideOption(bool visible) override { HideOptionVisible = visible; }
    void ShowBusyPanel(bool visible) override
    {
        PanelVisible = visible;
        if (visible && PanelShownWith.isNull())
            PanelShownWith = FNodes.GetFirstNode() ? FNodes.GetFirstNode()->Text() : QStringLiteral("");
    }
    void FullExpand() override { ExpandedWith = FNodes.Count(); }

    bool Hiding = true;
    bool HideOptionVisible = false;
    bool PanelVisible = false;
    QString PanelShownWith;  // the first node's text when the panel first came up
    int ExpandedWith = -1;   // the node count at the last expansion

private:
    const TTreeNodes& FNodes;
};

// The files page's tree without its control: nodes, radio records, toggles as the control
// makes them (no cascade, as on the files page).
struct TPage {
    TPage() { LangIndex = 1; }

    void Build(bool hiding = true)
    {
        page.Hiding = hiding;
        TCatalogueBuilder(nodes, radio, page).Build();
    }
    TTreeNode* Node(int i) const { return nodes.Item(i); }
    void Toggle(TTreeNode* node) { TCheckToggle(nodes, radio, setter).Toggle(node, false); }
    // One line per node: level, state, text; radio nodes add their group.
    QStringList Lines() const
    {
        QStringList out;
        for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext()) {
            QString s = QString::number(n->Level()) + QLatin1Char(' ') + QString::number(n->StateIndex()) +
                        QLatin1Char(' ') + n->Text();
            const int i = n->AbsoluteIndex();
            if (i < static_cast<int>(radio.size()) && radio[i].Radio)
                s += QStringLiteral(" #") + QString::number(radio[i].Group);
            out << s;
        }
        return out;
    }

    TCatalogueFolder folder;
    TTreeNodes nodes;
    TRadioStates radio;
    TNodeStateSetter setter;
    TRecordedPage page{nodes};
};

QString Note(const char* prefix, const char* name, const char* suffix)
{
    return QString::fromUtf8(prefix) + QString::fromUtf8(name) + QString::fromUtf8(suffix);
}

const char* const Comments = "#\r\n# only comments\r\n  # indented comment\r\n";
}

class TestCatalogueBuild : public QObject {
    Q_OBJECT

private slots:
    void probeGivesTheFourCodes()
    {
        TCatalogueFolder f;
        f.Archive("Mods/a.7z");
        f.Archive("Mods/b.zip");
        f.Archive("Mods/UPPER.7Z");
        f.EmptyArchive("Mods/empty.7z");
        f.EmptyArchive("Mods/empty.zip");
        f.DamagedArchive("Mods/broken.7z");
        f.Write("Mods/readme.txt", "text");
        f.Write("Mods/fake.zip", "not an archive at all");
        struct {
            const char* name;
            bool usable;
            int code;
        } cases[] = {{"a.7z", true, pcUsable},
                     {"b.zip", true, pcUsable},
                     {"UPPER.7Z", true, pcUsable},
                     {"missing.7z", false, pcNotFound},
                     {"readme.txt", false, pcUnknownFormat},
                     {"fake.zip", false, pcUnknownFormat},
                     {"broken.7z", false, pcUnknownFormat},
                     {"empty.7z", false, pcEmpty},
                     {"empty.zip", false, pcEmpty}};
        for (const auto& c : cases) {
            const TProbeResult r = ProbeArchive(f.Program + "Mods/" + c.name);
            QVERIFY2(r.Usable == c.usable && r.Code == c.code, c.name);
        }
        // A folder named like an archive is not a file.
        f.Folder("Mods/dir.7z");
        QCOMPARE(ProbeArchive(f.Program + "Mods/dir.7z").Code, pcNotFound);
    }

    // Every RAR version probes usable, RAR5 through its own handler; a ".rar" that is text
    // gets the format note like any other.
    void probeOpensEveryRarVersion()
    {
        TCatalogueFolder f;
        for (const char* name : {"test_read_format_rar.rar", "test_read_format_rar3_lowdist_reset.rar",
                                 "test_read_format_rar5_compressed.rar", "test_read_format_rar5_stored.rar"}) {
            f.Write(std::string("Mods/") + name, ReadFixture(name));
            const TProbeResult r = ProbeArchive(f.Program + "Mods/" + name);
            QVERIFY2(r.Usable && r.Code == 0, name);
        }
        f.Write("Mods/text.rar", "Rar! only in name");
        QCOMPARE(ProbeArchive(f.Program + "Mods/text.rar").Code, 2);
    }

    void probeNeverOpensAnythingOutsideTheProgramFolder()
    {
        TCatalogueFolder f;
        // Real archives just outside the program's folder: only the refusal can make them pcNotFound.
        f.Archive("../outside.7z");
        f.Archive("../prog-sibling/x.7z");
        QCOMPARE(ProbeArchive(f.Root + "/outside.7z").Code, pcNotFound);
        QCOMPARE(ProbeArchive(f.Program + "../outside.7z").Code, pcNotFound);
        QCOMPARE(ProbeArchive(f.Program + "Mods/../../outside.7z").Code, pcNotFound);
        QCOMPARE(ProbeArchive(f.Root + "/prog-sibling/x.7z").Code, pcNotFound);
        QCOMPARE(ProbeArchive("../outside.7z").Code, pcNotFound);
        f.Folder("Mods");
        QVERIFY(::symlink((f.Root + "/outside.7z").c_str(), (f.Program + "Mods/link.7z").c_str()) == 0);
        QVERIFY(::symlink(f.Root.c_str(), (f.Program + "Out").c_str()) == 0);
        QCOMPARE(ProbeArchive(f.Program + "Mods/link.7z").Code, pcNotFound);
        QCOMPARE(ProbeArchive(f.Program + "Out/outside.7z").Code, pcNotFound);
        // A link that stays inside is followed.
        f.Archive("Mods/real.7z");
        QVERIFY(::symlink("real.7z", (f.Program + "Mods/alias.7z").c_str()) == 0);
        QVERIFY(ProbeArchive(f.Program + "Mods/alias.7z").Usable);
        // Going down and up again inside is fine.
        QVERIFY(ProbeArchive(f.Program + "Mods/../Mods/./real.7z").Usable);
    }

    void probeDoesNotHangOnAFifo()
    {
        TCatalogueFolder f;
        f.Folder("Mods");
        QVERIFY(::mkfifo((f.Program + "Mods/pipe.7z").c_str(), 0600) == 0);
        QCOMPARE(ProbeArchive(f.Program + "Mods/pipe.7z").Code, pcUnknownFormat);
    }

    void readerErrorsLeaveTheProbe()
    {
        TCatalogueFolder f;
        f.Archive("Mods/a.7z");
        f.Write("Mods/readme.txt", "x");
        LibPath = f.Root + "/no-such.so";
        QVERIFY_THROWS_EXCEPTION(EArchiveError, ProbeArchive(f.Program + "Mods/a.7z"));
        // Only an archive extension gets as far as the library.
        QCOMPARE(ProbeArchive(f.Program + "Mods/readme.txt").Code, pcUnknownFormat);
        QCOMPARE(ProbeArchive(f.Program + "Mods/gone.7z").Code, pcNotFound);
    }

    void russianNotesUseTheirOwnFormatPrefix()
    {
        LangIndex = 0;
        QCOMPARE(ProbeNote(pcUnknownFormat, QStringLiteral("x.7z")), Note("Формат файла \"", "x.7z", "\" не определен"));
        QCOMPARE(ProbeNote(pcEmpty, QStringLiteral("x.7z")), Note("Файл \"", "x.7z", "\" пуст"));
        LangIndex = 1;
    }

    void eachNoteJoinsItsOwnPrefixAndSuffix()
    {
        const QString name = QStringLiteral("x.7z");
        LangIndex = 0;
        QCOMPARE(ProbeNote(pcNotFound, name), Note("Файл \"", "x.7z", "\" не найден"));
        LangIndex = 1;
        QCOMPARE(ProbeNote(pcNotFound, name), Note("File \"", "x.7z", "\" not found"));
        QCOMPARE(ProbeNote(pcUnknownFormat, name), Note("File \"", "x.7z", "\" format is not known"));
        QCOMPARE(ProbeNote(pcEmpty, name), Note("File \"", "x.7z", "\" is empty"));
        // A usable archive, or a code no note belongs to, keeps its name.
        QCOMPARE(ProbeNote(pcUsable, name), name);
        QCOMPARE(ProbeNote(pcEmpty + 1, name), name);
    }

    void commentsOnlyCatalogueAnalysesTheFolder()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        p.folder.Archive("Crosshairs/a.7z");
        p.Build();
        QCOMPARE(p.Lines(), (QStringList{"0 0 Crosshairs", "1 2 a.7z #1"}));
        QCOMPARE(p.page.ExpandedWith, 2);
        QVERIFY(!p.page.HideOptionVisible);
    }

    void catalogueFolderWithAllFilesMissing()
    {
        TPage p;
        p.folder.WriteCatalogue("0F00Gone\r\n\t2T01x.7z\r\n\t1T01y.zip\r\n0F00Kept\r\n\t1F00k.7z\r\n");
        p.folder.Archive("Kept/k.7z");
        p.Build(true);
        QCOMPARE(p.Lines(), (QStringList{"0 0 Kept", "1 1 k.7z"}));
        QVERIFY(p.page.HideOptionVisible);

        p.Build(false);
        QCOMPARE(p.Lines(), (QStringList{"0 0 Gone", "1 0 File \"x.7z\" not found #1",
                                         "1 0 File \"y.zip\" not found #1", "0 0 Kept", "1 1 k.7z"}));
        QVERIFY(p.page.HideOptionVisible);
    }

    void catalogueFolderWithoutFilesIsRemoved()
    {
        TPage p;
        p.folder.WriteCatalogue("0F00First\r\n0F00Second\r\n\t2F00s.7z\r\n0F00Last");
        p.folder.Archive("Second/s.7z");
        p.folder.Archive("First/unlisted.7z");
        p.Build();
        QCOMPARE(p.Lines(), (QStringList{"0 0 Second", "1 2 s.7z"}));
        // Nothing was inaccessible, so the box has nothing to hide.
        QVERIFY(!p.page.HideOptionVisible);
    }

    void analysisOfAFolderWithTwoArchivesAndText()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        p.folder.Archive("Mods/a.7z");
        p.folder.Archive("Mods/b.zip");
        p.folder.Write("Mods/readme.txt", "read me");
        p.Build(true);
        QCOMPARE(p.Lines(), (QStringList{"0 0 Mods", "1 2 a.7z #1", "1 1 b.zip #1"}));
        QVERIFY(p.page.HideOptionVisible);

        p.Build(false);
        QCOMPARE(p.Lines(), (QStringList{"0 0 Mods", "1 2 a.7z #1", "1 1 b.zip #1",
                                         "1 0 File \"readme.txt\" format is not known #1"}));
        p.Toggle(p.Node(2));
        QCOMPARE(p.Node(2)->StateIndex(), csChecked);
        QCOMPARE(p.Node(1)->StateIndex(), csUnchecked);
        // A note has no box to tick.
        p.Toggle(p.Node(3));
        QCOMPARE(p.Node(3)->StateIndex(), csHidden);
    }

    // A volume set is one item, its first part; a later part or a set with a part missing
    // cannot be installed and gets the format note.
    void volumeSetsAreOneItemByTheirFirstPart()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        for (const char* part : {"part1", "part2", "part3"})
            p.folder.Write(std::string("Mods/set.") + part + ".rar",
                           ReadFixture((std::string("test_rar_multivolume_single_file.") + part + ".rar").c_str()));
        p.folder.Write("Gap/gap.part1.rar", ReadFixture("test_rar_multivolume_single_file.part1.rar"));
        p.folder.Write("Gap/gap.part3.rar", ReadFixture("test_rar_multivolume_single_file.part3.rar"));
        p.Build(false);
        QCOMPARE(p.Lines(), (QStringList{"0 0 Gap", "1 0 File \"gap.part1.rar\" format is not known #1",
                                         "0 0 Mods", "1 2 set.part1.rar #2"}));
        QCOMPARE(ProbeArchive(p.folder.Program + "Mods/set.part2.rar").Code, pcUnknownFormat);
    }

    void analysisListsByNameWithoutRegardToCase()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        for (const char* name : {"zeta/C.7z", "zeta/a.zip", "zeta/B.7z", "Alpha/x.7z", "beta/y.7z"})
            p.folder.Archive(name);
        p.Build();
        QCOMPARE(p.Lines(), (QStringList{"0 0 Alpha", "1 2 x.7z #1", "0 0 beta", "1 2 y.7z #2", "0 0 zeta",
                                         "1 2 a.zip #3", "1 1 B.7z #3", "1 1 C.7z #3"}));
    }

    void firstFileUnusableWithHidingOff()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        p.folder.DamagedArchive("Mods/0broken.7z");
        p.folder.Archive("Mods/1good.7z");
        p.folder.Archive("Mods/2good.zip");
        p.Build(false);
        QCOMPARE(p.Lines(), (QStringList{"0 0 Mods", "1 0 File \"0broken.7z\" format is not known #1",
                                         "1 1 1good.7z #1", "1 1 2good.zip #1"}));
        p.Build(true);
        QCOMPARE(p.Lines(), (QStringList{"0 0 Mods", "1 2 1good.7z #1", "1 1 2good.zip #1"}));
    }

    void onlyFoldersWithOfferedFilesAppear()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        p.folder.Archive("loose.7z");
        p.folder.Folder("Empty");
        p.folder.Archive("HiddenOnly/.secret.7z");
        p.folder.Archive("Nested/deeper/inner.7z");
        p.folder.Archive(".dotfolder/d.7z");
        p.folder.Archive("Mods/m.7z");
        p.Build(false);
        // Hidden folders count like any other; hidden files and sub-folders do not.
        QCOMPARE(p.Lines(), (QStringList{"0 0 .dotfolder", "1 2 d.7z #1", "0 0 Mods", "1 2 m.7z #2"}));
        QVERIFY(!p.page.HideOptionVisible);
    }

    void groupsAreNumberedPerKeptFolder()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        p.folder.Archive("A/a1.7z");
        p.folder.Archive("A/a2.7z");
        p.folder.Write("B/only.txt", "x");
        p.folder.Archive("C/c1.7z");
        p.folder.Archive("C/c2.7z");
        p.Build(true);
        QCOMPARE(p.Lines(), (QStringList{"0 0 A", "1 2 a1.7z #1", "1 1 a2.7z #1", "0 0 C", "1 2 c1.7z #2",
                                         "1 1 c2.7z #2"}));
        p.Toggle(p.Node(5));
        QCOMPARE(p.Node(1)->StateIndex(), csChecked);
        QCOMPARE(p.Node(4)->StateIndex(), csUnchecked);
        QCOMPARE(p.Node(5)->StateIndex(), csChecked);
    }

    void cutArchivesAndLinksOutAreNotedInTheAnalysis()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        // An interrupted download: a zip that ends where its second item would start.
        p.folder.Write("../src/1.txt", "one");
        p.folder.Write("../src/2.txt", "two");
        QVERIFY(Run7z({"a", "-tzip", "../full.zip", "."}, p.folder.Root + "/src"));
        std::ifstream zip(p.folder.Root + "/full.zip", std::ios::binary);
        const std::string full((std::istreambuf_iterator<char>(zip)), std::istreambuf_iterator<char>());
        p.folder.Write("M/a-cut.zip", full.substr(0, full.find("PK\x03\x04", 4)));
        // A link to a real archive outside the program's folder.
        p.folder.Archive("../outside.7z");
        QVERIFY(::symlink((p.folder.Root + "/outside.7z").c_str(), (p.folder.Program + "M/b-link.7z").c_str()) == 0);
        p.folder.Archive("M/c-ok.zip");
        p.Build(false);
        QCOMPARE(p.Lines(), (QStringList{"0 0 M", "1 0 File \"a-cut.zip\" format is not known #1",
                                         "1 0 File \"b-link.7z\" not found #1", "1 1 c-ok.zip #1"}));
        p.Build(true);
        QCOMPARE(p.Lines(), (QStringList{"0 0 M", "1 2 c-ok.zip #1"}));
    }

    void emptyAndDamagedArchivesGetTheirNotes()
    {
        TPage p;
        p.folder.WriteCatalogue("0F00M\r\n\t2T01empty.zip\r\n\t1T01broken.7z\r\n\t1T01ok.7z\r\n");
        p.folder.EmptyArchive("M/empty.zip");
        p.folder.DamagedArchive("M/broken.7z");
        p.folder.Archive("M/ok.7z");
        p.Build(false);
        QCOMPARE(p.Lines(), (QStringList{"0 0 M", "1 0 File \"empty.zip\" is empty #1",
                                         "1 0 File \"broken.7z\" format is not known #1", "1 1 ok.7z #1"}));
    }

    void radioRecordsStayInStepWithTheNodes()
    {
        TPage p;
        // Missing files first, last, in a row and with a line below a file, in several folders.
        p.folder.WriteCatalogue("0F00F1\r\n"
                                "\t1T01gone1.7z\r\n"
                                "\t2T02k1.7z\r\n"
                                "\t1T03gone2.7z\r\n"
                                "\t\t1T04below-a-file.7z\r\n"
                                "\t1T05gone3.7z\r\n"
                                "0F00F2\r\n"
                                "\t1T06gone4.7z\r\n"
                                "0T07F3\r\n"
                                "\t1T08k2.zip\r\n"
                                "\t1F09k3.7z\r\n"
                                "\t1T10gone5.7z\r\n"
                                "0F00F4\r\n");
        p.folder.Archive("F1/k1.7z");
        p.folder.Archive("F3/k2.zip");
        p.folder.Archive("F3/k3.7z");
        p.Build(true);
        QCOMPARE(p.Lines(), (QStringList{"0 0 F1", "1 2 k1.7z #2", "0 0 F3 #7", "1 1 k2.zip #8", "1 1 k3.7z"}));
        QCOMPARE(static_cast<int>(p.radio.size()), p.nodes.Count());
        const int groups[] = {0, 2, 7, 8, 0};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(p.radio[i].Group, groups[i]);
    }

    void catalogueNamesFallBackToOtherCase()
    {
        TPage p;
        p.folder.WriteCatalogue("0F00crosshairs\r\n\t2T01CROSS-A.7Z\r\n\t1T01cross-b.zip\r\n");
        p.folder.Archive("Crosshairs/Cross-A.7z");
        p.folder.Archive("Crosshairs/cross-b.zip");
        p.Build(true);
        // The texts take the names on disk, which the installation joins again.
        QCOMPARE(p.Lines(), (QStringList{"0 0 Crosshairs", "1 2 Cross-A.7z #1", "1 1 cross-b.zip #1"}));
        QVERIFY(!p.page.HideOptionVisible);
    }

    void windows1251CatalogueFindsRussianNames()
    {
        TPage p;
        // "Прицелы" and "прицел.7z" in Windows-1251.
        p.folder.WriteCatalogue("0F00\xcf\xf0\xe8\xf6\xe5\xeb\xfb\r\n\t2F00\xef\xf0\xe8\xf6\xe5\xeb.7z\r\n");
        p.folder.Archive("Прицелы/прицел.7z");
        p.Build(true);
        QCOMPARE(p.Lines(), (QStringList{QString::fromUtf8("0 0 Прицелы"), QString::fromUtf8("1 2 прицел.7z")}));
    }

    void catalogueCannotReachOutside()
    {
        TPage p;
        p.folder.Archive("../outside.7z");
        p.folder.Archive("../etc/passwd.7z");
        p.folder.WriteCatalogue("0F00..\r\n\t2F00outside.7z\r\n0F00../etc\r\n\t2F00passwd.7z\r\n");
        p.Build(false);
        QCOMPARE(p.Lines(), (QStringList{"0 0 ..", "1 0 File \"outside.7z\" not found", "0 0 ../etc",
                                         "1 0 File \"passwd.7z\" not found"}));
        p.Build(true);
        QCOMPARE(p.nodes.Count(), 0);
    }

    void panelComesUpBeforeTheWorkAndGoesAfter()
    {
        TPage p;
        p.folder.WriteCatalogue("0F00M\r\n\t2F00m.7z\r\n");
        p.folder.Archive("M/m.7z");
        p.nodes.AddChild(nullptr, QStringLiteral("old"));
        p.radio.push_back({});
        p.Build();
        QCOMPARE(p.page.PanelShownWith, QStringLiteral("old"));
        QVERIFY(!p.page.PanelVisible);
        QVERIFY(!p.nodes.Updating());
        QCOMPARE(p.Lines(), (QStringList{"0 0 M", "1 2 m.7z"}));
    }

    void loaderErrorKeepsTheNodesReadSoFar()
    {
        TPage p;
        p.folder.Archive("M/m.7z");
        p.folder.WriteCatalogue("0F00M\r\n\t2F00m.7z\r\nXF00bad\r\n\t1F00after.7z\r\n");
        QString text;
        try {
            p.Build();
        } catch (const std::exception& e) {
            text = QString::fromUtf8(e.what());
        }
        QCOMPARE(text, QStringLiteral("'X' is not a valid integer value"));
        QCOMPARE(p.Lines(), (QStringList{"0 0 M", "1 2 m.7z"}));
        QVERIFY(!p.page.PanelVisible);
        QVERIFY(!p.nodes.Updating());
        // The page still works: fixing the catalogue and building again gives the full tree.
        p.folder.WriteCatalogue("0F00M\r\n\t2F00m.7z\r\n");
        p.Build();
        QCOMPARE(p.Lines(), (QStringList{"0 0 M", "1 2 m.7z"}));

        p.folder.WriteCatalogue("");
        ConfPath = p.folder.Root + "/no-such.conf";
        QVERIFY_THROWS_EXCEPTION(std::exception, p.Build());
        QVERIFY(!p.page.PanelVisible);
        QVERIFY(!p.nodes.Updating());
    }

    void readerErrorStopsTheBuild()
    {
        TPage p;
        p.folder.WriteCatalogue(Comments);
        p.folder.Archive("A/a.7z");
        p.folder.Archive("B/b.7z");
        LibPath = p.folder.Root + "/missing.so";
        QString text;
        try {
            p.Build();
        } catch (const EArchiveError& e) {
            text = QString::fromUtf8(e.what());
        }
        QVERIFY2(text.startsWith(QStringLiteral("Error loading library")), qPrintable(text));
        QVERIFY(!p.page.PanelVisible);
        QVERIFY(!p.nodes.Updating());
        // The folder being analysed had no file yet: it does not stay behind empty.
        QCOMPARE(p.nodes.Count(), 0);
        QVERIFY(p.radio.empty());

        // The same error in the catalogue check keeps the catalogue's nodes.
        p.folder.WriteCatalogue("0F00A\r\n\t2F00a.7z\r\n");
        QVERIFY_THROWS_EXCEPTION(EArchiveError, p.Build());
        QCOMPARE(p.nodes.Count(), 2);
        QVERIFY(!p.nodes.Updating());
    }
};

QTEST_GUILESS_MAIN(TestCatalogueBuild)
#include "test_catalogue_build.moc"
