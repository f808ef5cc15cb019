// The install record through the real window and worker: install, uninstall, the last
// selection and the note on archives that write the same file.
#include "TestSupport.h"

#include "shell/ExtraTexts.h"
#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "archive/TRecordStore.h"
#include "archive/ThUnPackFiles.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/FileSystem.h"
#include "platform/TFolderLock.h"
#include "platform/TFolderListing.h"

#include <QDirIterator>
#include <QProcess>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

namespace {
// Two independent archives (B replaces one file of A and one of the game) and a radio pair.
const char* const Catalogue = "0F00Mods\n\t2F00A.7z\n\t2F00B.7z\n0F00Looks\n\t2T01Red.7z\n\t1T01Blue.7z\n";

using TSnapshot = std::map<QString, QByteArray>;

// Every entry below dir: files with their bytes, folders marked as such.
TSnapshot Snapshot(const std::string& dir)
{
    TSnapshot s;
    const QString root = QString::fromStdString(dir);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            s[rel] = "<folder>";
        } else {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            s[rel] = f.readAll();
        }
    }
    return s;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    ForceDirectories(path.substr(0, path.rfind('/')));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One run of the program over the same folders: a fresh window.
struct TRun {
    explicit TRun(const char* lang = "en_US.UTF-8")
    {
        ::setenv("LANG", lang, 1);
        ResetShellState();
        w = std::make_unique<TFMain>();
        w->show();
    }
    ~TRun()
    {
        if (Installer)
            QTRY_VERIFY_WITH_TIMEOUT(InstallFinished.load() && ThUnPackFiles::LiveCount() == 0, 30000);
        w.reset();
    }
    void Next() { QTest::mouseClick(w->BNext, Qt::LeftButton); }
    TTreeNode* Node(const char* text) const
    {
        for (TTreeNode* n = w->TVFiles->Items()->GetFirstNode(); n; n = n->GetNext())
            if (n->Text() == QLatin1String(text))
                return n;
        return nullptr;
    }
    QString Ticks() const
    {
        QString s;
        for (const char* name : {"A.7z", "B.7z", "Red.7z", "Blue.7z"})
            s += Node(name) && Node(name)->StateIndex() == csChecked ? QLatin1Char('x') : QLatin1Char('-');
        return s;
    }
    void Toggle(const char* text) { w->TVFiles->ToggleNode(Node(text)); }
    // From the files page: into target, until the worker has ended.
    void Install(const std::string& target)
    {
        Next();
        w->EDir->setText(QString::fromStdString(target));
        Next();
        QTRY_VERIFY_WITH_TIMEOUT(InstallFinished.load() && ThUnPackFiles::LiveCount() == 0, 30000);
    }
    // From the language page to the path page with target in the folder field.
    void ToPathPage(const std::string& target)
    {
        Next();
        Next();
        w->EDir->setText(QString::fromStdString(target));
    }

    TMessageRecorder messages{true};
    std::unique_ptr<TFMain> w;
};
}  // namespace

class TestRecord : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TProgramFolder> F;
    std::string Target;
    TSnapshot Before;

    // Installs the default ticks (A, B, Red) in a run of its own.
    void InstallDefaults()
    {
        TRun run;
        run.Next();
        run.Install(Target);
        QCOMPARE(run.w->PCFrames->currentIndex(), int(TFMain::PageDone));
    }

    std::string RecordPath() const
    {
        return TRecordStore().RecordPath(CanonicalPath(Target));
    }

private slots:
    void init()
    {
        F = std::make_unique<TProgramFolder>();
        F->WriteFile("Setup.conf", Catalogue);
        F->MakeArchive("Mods/A.7z", {"gui/a.txt=alpha", "common.txt=from A"});
        F->MakeArchive("Mods/B.7z", {"common.txt=from B", "game.xml=<mod/>"});
        F->MakeArchive("Looks/Red.7z", {"look/colour.txt=red"});
        F->MakeArchive("Looks/Blue.7z", {"look/colour.txt=blue"});
        Target = F->Root + "/game/res_mods/1.0/";
        WriteBytes(Target + "game.xml", "<game/>");
        WriteBytes(Target + "look/readme.txt", "the game's own");
        ForceDirectories(Target + "empty");
        Before = Snapshot(Target);
    }

    void cleanup() { F.reset(); }

    void aSecondCopyIsRefusedWhileTheFirstInstallsAndTheRecordStaysWhole()
    {
        TRun run;
        run.Next();
        run.Next();
        run.w->EDir->setText(QString::fromStdString(Target));
        run.Next();
        QCOMPARE(run.w->PCFrames->currentIndex(), int(TFMain::PageProgress));
        // The worker waits for this thread's first synchronised call: it is at work, holding
        // the folder, for as long as the second copy takes.
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SETUP_SECOND_COPY_TARGET"), QString::fromStdString(Target));
        second.setProcessEnvironment(env);
        second.start(QCoreApplication::applicationFilePath(), {QStringLiteral("secondCopy")});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        const QString said = QString::fromUtf8(second.readAllStandardOutput());
        QVERIFY2(said.contains(QStringLiteral("BUSY ") + ExtraText(etFolderBusy).arg(QString::fromStdString(Target))),
                 qPrintable(said));
        QTRY_VERIFY_WITH_TIMEOUT(InstallFinished.load() && ThUnPackFiles::LiveCount() == 0, 30000);
        QCOMPARE(run.w->PCFrames->currentIndex(), int(TFMain::PageDone));
        const auto record = TRecordStore().Load(CanonicalPath(Target));
        QVERIFY(record.has_value());
        QCOMPARE(record->Installs.size(), std::size_t(1));
        QCOMPARE(record->Installs.back().Status, std::string("complete"));
        QCOMPARE(record->Files.size(), std::size_t(4));
        // Once the first is done, the folder is free again.
        TFolderLock after;
        QVERIFY(after.TryAcquire(Target));
    }
    // The second copy of the test above, run by it as a process of its own.
    void secondCopy()
    {
        const char* target = std::getenv("SETUP_SECOND_COPY_TARGET");
        if (!target)
            QSKIP("run as a process by the test above");
        TRun run;
        run.ToPathPage(target);
        run.Next();
        // Refused: still on the path page, free to browse back.
        QCOMPARE(run.w->PCFrames->currentIndex(), int(TFMain::PagePath));
        QVERIFY(!Installer);
        run.w->GoPrevPage();
        QCOMPARE(run.w->PCFrames->currentIndex(), int(TFMain::PageFiles));
        for (const QString& text : run.messages.Texts)
            std::printf("BUSY %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    }

    void installThenUninstallLeavesTheFolderAsItWas()
    {
        {
            TRun run;
            run.Next();
            // Nothing recorded yet: the new controls stay out of sight.
            QVERIFY(!run.w->BRestoreSel->isVisible());
            QVERIFY(run.w->LConflicts->isVisible());
            QCOMPARE(run.w->LConflicts->toolTip().section(QLatin1Char('\n'), 0, 0),
                     QStringLiteral("\"B.7z\" replaces 1 file of \"A.7z\""));
            QVERIFY(run.w->LConflicts->toolTip().contains(QStringLiteral("    common.txt")));
            run.Toggle("B.7z");
            QTRY_VERIFY(!run.w->LConflicts->isVisible());
            run.Toggle("B.7z");
            QTRY_VERIFY(run.w->LConflicts->isVisible());
            run.Next();
            QVERIFY(!run.w->BUninstall->isVisible());
            run.w->EDir->setText(QString::fromStdString(Target));
            QVERIFY(!run.w->BUninstall->isVisible());
            run.Next();
            QTRY_COMPARE_WITH_TIMEOUT(run.w->PCFrames->currentIndex(), int(TFMain::PageDone), 30000);
        }
        QCOMPARE(F->ReadFile(Target + "common.txt"), std::string("from B"));
        QCOMPARE(F->ReadFile(Target + "game.xml"), std::string("<mod/>"));
        QCOMPARE(F->ReadFile(Target + "look/colour.txt"), std::string("red"));

        TRun later;
        later.ToPathPage(Target);
        QVERIFY(later.w->BUninstall->isVisible());
        QTest::mouseClick(later.w->BUninstall, Qt::LeftButton);
        QCOMPARE(later.messages.Texts.size(), 2);
        QCOMPARE(later.messages.Texts[0], ExtraText(etUninstallQuestion));
        QCOMPARE(later.messages.Texts[1], QStringLiteral("Uninstall finished.\nFiles removed: 3\nEarlier files restored: 1"));
        QCOMPARE(Snapshot(Target), Before);
        QVERIFY(!later.w->BUninstall->isVisible());
    }

    void aFileEditedSinceIsKeptAndListed()
    {
        InstallDefaults();
        WriteBytes(Target + "gui/a.txt", "the player's own alpha");
        TRun later;
        later.ToPathPage(Target);
        QTest::mouseClick(later.w->BUninstall, Qt::LeftButton);
        QCOMPARE(later.messages.Texts.size(), 2);
        QCOMPARE(later.messages.Texts[1], QStringLiteral("Uninstall finished.\nFiles removed: 2\nEarlier files restored: 1\n"
                                                         "Changed files kept: 1\n\nThese files were changed after "
                                                         "installation and were left in place:\ngui/a.txt"));
        TSnapshot expected = Before;
        expected[QStringLiteral("gui")] = "<folder>";
        expected[QStringLiteral("gui/a.txt")] = "the player's own alpha";
        QCOMPARE(Snapshot(Target), expected);
        // Still on record: the button stays and says so again.
        QVERIFY(later.w->BUninstall->isVisible());
    }

    void lastSelectionComesBackAfterTheTreeIsRebuilt()
    {
        {
            TRun run;
            run.Next();
            run.Toggle("A.7z");
            run.Toggle("Blue.7z");
            QCOMPARE(run.Ticks(), QStringLiteral("-x-x"));
            run.Install(Target);
        }
        TRun later;
        later.Next();
        QCOMPARE(later.Ticks(), QStringLiteral("xxx-"));  // the catalogue's defaults stay the defaults
        QVERIFY(later.w->BRestoreSel->isVisible());
        QTest::mouseClick(later.w->BRestoreSel, Qt::LeftButton);
        QCOMPARE(later.Ticks(), QStringLiteral("-x-x"));
        QTRY_VERIFY(!later.w->LConflicts->isVisible());
        // Back and Next build the tree anew; the record is found again.
        QTest::mouseClick(later.w->BBack, Qt::LeftButton);
        later.Next();
        QCOMPARE(later.Ticks(), QStringLiteral("xxx-"));
        QTest::mouseClick(later.w->BRestoreSel, Qt::LeftButton);
        QCOMPARE(later.Ticks(), QStringLiteral("-x-x"));
    }

    void aFailedInstallationIsRecordedAndTakenBack()
    {
        {
            TRun run;
            run.Next();
            // Damaged after the probe, as a file can be between two pages.
            F->WriteFile("Mods/B.7z", "no longer an archive");
            run.Install(Target);
            QCOMPARE(run.messages.Texts.size(), 1);  // the failure text, then the details
            QCOMPARE(run.messages.Texts[0].section(QStringLiteral("\n\n"), 0, 0), QString::fromUtf8(LangTexts[ltInstallFailed][1]));
        }
        const auto record = TRecordStore().Load(CanonicalPath(Target));
        QVERIFY(record.has_value());
        QCOMPARE(record->Installs.back().Status, std::string("failed"));
        QCOMPARE(record->Files.size(), size_t(2));  // A's two files

        TRun later;
        later.ToPathPage(Target);
        QTest::mouseClick(later.w->BUninstall, Qt::LeftButton);
        QCOMPARE(later.messages.Texts.value(1), QStringLiteral("Uninstall finished.\nFiles removed: 2\nEarlier files restored: 0"));
        QCOMPARE(Snapshot(Target), Before);
    }

    void aDamagedRecordRemovesNothing()
    {
        InstallDefaults();
        const std::string whole = F->ReadFile(RecordPath());
        WriteBytes(RecordPath(), whole.substr(0, whole.size() / 2));
        const TSnapshot installed = Snapshot(Target);
        TRun later;
        later.ToPathPage(Target);
        QVERIFY(later.w->BUninstall->isVisible());
        QTest::mouseClick(later.w->BUninstall, Qt::LeftButton);
        // No question: the message says what is wrong and nothing happens.
        QCOMPARE(later.messages.Texts.size(), 1);
        QVERIFY2(later.messages.Texts[0].startsWith(ExtraText(etRecordDamaged) + QStringLiteral("\n\n")),
                 qPrintable(later.messages.Texts[0]));
        QCOMPARE(Snapshot(Target), installed);
        // A new installation sets the damaged record aside and starts a fresh one.
        later.w.reset();
        InstallDefaults();
        QVERIFY(TRecordStore().Load(CanonicalPath(Target)).has_value());
        QVERIFY(FileExists(RecordPath() + ".damaged"));
    }

    void screenshotsOfTheNewControls()
    {
        InstallDefaults();
        for (const char* lang : {"en_US.UTF-8", "ru_RU.UTF-8"}) {
            TRun run(lang);
            const QString suffix = QString::fromLatin1(lang).left(2);
            run.Next();
            QVERIFY(run.w->BRestoreSel->isVisible() && run.w->LConflicts->isVisible());
            QVERIFY(run.w->BRestoreSel->sizeHint().width() <= run.w->BRestoreSel->width());
            SaveScreenshot(run.w.get(), QStringLiteral("record-page1-") + suffix);
            run.Next();
            run.w->EDir->setText(QString::fromStdString(Target));
            QVERIFY(run.w->BUninstall->isVisible());
            // The caption fits its button and the button keeps clear of "Select...".
            QVERIFY(run.w->BUninstall->sizeHint().width() <= run.w->BUninstall->width());
            QVERIFY(run.w->BUninstall->geometry().right() < run.w->BChDir->geometry().left());
            SaveScreenshot(run.w.get(), QStringLiteral("record-page2-") + suffix);
        }
    }
};

QTEST_MAIN(TestRecord)
#include "test_record.moc"
