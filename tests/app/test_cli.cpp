// The command line: the real Setup binary as a process without a display, over a program
// folder laid out as a packer lays it out; and a selection passed between it and the window.
#include "TestSupport.h"

#include "app/CommandTexts.h"
#include "shell/ExtraTexts.h"
#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "archive/TRecordStore.h"
#include "archive/ThUnPackFiles.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TSelectionFile.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/TFolderLock.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <csignal>
#include <fstream>
#include <memory>

namespace {
const char* const Catalogue =
    "0F00Mods\n\t2F00A.7z\n\t1F00B.7z\n\t1F00Gone.7z\n0F00Looks\n\t2T01Red.7z\n\t1T01Blue.7z\n";

struct TResult {
    int Code = -1;
    QString Out;
    QString Err;
};

QStringList Files(const std::string& dir)
{
    QStringList list;
    const QString root = QString::fromStdString(dir);
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        list << QDir(root).relativeFilePath(it.next());
    list.sort();
    return list;
}
}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TProgramFolder> F;
    std::string Target;

    // The environment of a script: no display at all.
    void Prepare(QProcess& p, const QStringList& args) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(v));
        env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(F->Root));
        p.setProgram(QString::fromStdString(F->Program + "Setup"));
        p.setArguments(args);
    }

    TResult Run(const QStringList& args) const
    {
        QProcess p;
        Prepare(p, args);
        p.start();
        TResult r;
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
            return r;
        r.Code = p.exitCode();
        r.Out = QString::fromUtf8(p.readAllStandardOutput());
        r.Err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    std::optional<TInstallRecord> Record() const
    {
        const std::string canonical = TRecordStore::CanonicalFolder(Target);
        return canonical.empty() ? std::nullopt : TRecordStore().Load(canonical);
    }

private slots:
    void init()
    {
        F = std::make_unique<TProgramFolder>();
        QFile::remove(QString::fromStdString(F->Program + "Setup"));
        QVERIFY(QFile::copy(QStringLiteral(SETUP_BIN), QString::fromStdString(F->Program + "Setup")));
        F->WriteFile("Setup.conf", Catalogue);
        F->MakeArchive("Mods/A.7z", {"gui/a.txt=alpha", "common.txt=from A"});
        F->MakeArchive("Mods/B.7z", {"common.txt=from B"});
        F->MakeArchive("Looks/Red.7z", {"look/colour.txt=red"});
        F->MakeArchive("Looks/Blue.7z", {"look/colour.txt=blue!"});
        Target = F->Root + "/game/res_mods/1.0";
    }

    void cleanup() { F.reset(); }

    void listsInstallsAndUninstalls()
    {
        TResult list = Run({"--list"});
        QCOMPARE(list.Code, 0);
        const QStringList lines = list.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[0].simplified() == "Mods/A.7z checked - 11", qPrintable(list.Out));
        QVERIFY2(lines[2].simplified().startsWith("Mods/Gone.7z unavailable - - File \"Gone.7z\" not found"),
                 qPrintable(list.Out));
        QVERIFY2(lines[4].simplified() == "Looks/Blue.7z unchecked 1 5", qPrintable(list.Out));

        list = Run({"--list", "--format=json"});
        const QJsonArray items = QJsonDocument::fromJson(list.Out.toUtf8()).object().value("items").toArray();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[3].toObject().value("path").toString(), QStringLiteral("Looks/Red.7z"));
        QCOMPARE(items[3].toObject().value("radioGroup").toInt(), 1);
        QVERIFY(items[1].toObject().value("radioGroup").isNull());
        QCOMPARE(items[2].toObject().value("state").toString(), QStringLiteral("unavailable"));

        // Tree order, whatever order they were named in; the other radio partner goes off.
        TResult install = Run({"--install", "--target", QString::fromStdString(Target), "--select",
                               "Looks/Blue.7z,Mods/B.7z"});
        QVERIFY2(install.Code == 0, qPrintable(install.Err));
        QVERIFY(install.Err.contains("Installing 2/2: Looks/Blue.7z"));
        QCOMPARE(Files(Target), QStringList({"common.txt", "look/colour.txt"}));
        QCOMPARE(QString::fromStdString(F->ReadFile(Target + "/look/colour.txt")), QStringLiteral("blue!"));
        QCOMPARE(Record()->Installs.back().Archives, std::vector<std::string>({"Mods/B.7z", "Looks/Blue.7z"}));
        QCOMPARE(Record()->Installs.back().Status, std::string("complete"));

        // The initial ticks (A and Red) over a file the player changed since: only with --yes.
        F->WriteFile("../game/res_mods/1.0/common.txt", "edited by the player");
        install = Run({"--install", "--target", QString::fromStdString(Target)});
        QCOMPARE(install.Code, 3);
        QVERIFY(install.Err.contains("  common.txt"));
        QCOMPARE(QString::fromStdString(F->ReadFile(Target + "/common.txt")), QStringLiteral("edited by the player"));
        install = Run({"--install", "--target", QString::fromStdString(Target), "--yes", "--last"});
        QVERIFY2(install.Code == 0, qPrintable(install.Err));
        QCOMPARE(QString::fromStdString(F->ReadFile(Target + "/common.txt")), QStringLiteral("from B"));

        TResult uninstall = Run({"--uninstall", "--target", QString::fromStdString(Target)});
        QVERIFY2(uninstall.Code == 0, qPrintable(uninstall.Err));
        QVERIFY2(uninstall.Err.contains(QString::fromUtf8(ExtraTexts[etRemoved][1]).arg(2)), qPrintable(uninstall.Err));
        QCOMPARE(Files(Target), QStringList());
        uninstall = Run({"--uninstall", "--target", QString::fromStdString(Target), "--lang", "ru"});
        QCOMPARE(uninstall.Code, 0);
        QVERIFY(uninstall.Err.contains(QString::fromUtf8(ExtraTexts[etNothingRecorded][0])));
    }

    void refusesBadInputWritingNothing()
    {
        const QString target = QString::fromStdString(Target);
        const std::string binary = F->Root + "/binary.sel", huge = F->Root + "/huge.sel", other = F->Root + "/other.sel";
        std::ofstream(binary, std::ios::binary) << std::string(TSelectionFile::FormatLine) + "\nMods/A.7z\n" + '\0' + "\xff";
        std::ofstream(huge, std::ios::binary) << std::string(TSelectionFile::FormatLine) + "\n" +
                                                     std::string(TSelectionFile::MaxBytes, '#');
        std::ofstream(other, std::ios::binary) << "Mods/A.7z\n";
        F->WriteFile("blocker", "a file where the target's parent should be");
        const struct {
            QStringList Args;
            QString Said;
        } cases[] = {
            {{"--install", "--target", target, "--select", "Looks/Red.7z,Looks/Blue.7z"},
             "\"Looks/Red.7z\" and \"Looks/Blue.7z\" are in one radio group"},
            {{"--install", "--target", target, "--select", "Mods/Nope.7z,Mods/A.7z"}, "not in the catalogue:\n  Mods/Nope.7z"},
            // Inaccessible files are left out of the tree, as on the page.
            {{"--install", "--target", target, "--select", "Mods/Gone.7z"}, "not in the catalogue:\n  Mods/Gone.7z"},
            {{"--install", "--frobnicate"}, "unknown option --frobnicate"},
            {{"--install", "--select", "Mods/A.7z"}, "--install needs --target DIR"},
            {{"--list", "--uninstall", "--target", target}, "--list and --uninstall cannot be given together"},
            {{"--install", "--target", target, "--selection", QString::fromStdString(binary)}, "is not UTF-8 text"},
            {{"--install", "--target", target, "--selection", QString::fromStdString(huge)}, "is too large"},
            {{"--install", "--target", target, "--selection", QString::fromStdString(other)}, "is not a Setup selection file"},
            {{"--install", "--target", QString::fromStdString(F->Program + "blocker/sub")}, "the folder cannot be made"},
            {{"--install", "--target", target, "--last"}, "no selection has been recorded"},
        };
        for (const auto& c : cases) {
            const TResult r = Run(c.Args);
            QVERIFY2(r.Code == 2, qPrintable(c.Args.join(' ') + " -> " + QString::number(r.Code)));
            QVERIFY2(r.Err.contains(c.Said), qPrintable(r.Err));
        }
        QVERIFY(!DirectoryExists(Target));
        QVERIFY(!DirectoryExists(F->Data + "/Setup/journals"));

        // Another copy at work on the folder: the window's busy text, exit code 1.
        ForceDirectories(Target);
        TFolderLock held;
        QVERIFY(held.TryAcquire(Target));
        const TResult busy = Run({"--install", "--target", target});
        QCOMPARE(busy.Code, 1);
        QVERIFY(busy.Err.contains(QString::fromUtf8(ExtraTexts[etFolderBusy][1]).arg(target)));
        QCOMPARE(Files(Target), QStringList());
    }

    void failsOnADamagedArchiveAndStopsOnSigterm()
    {
        // Damaged packed data: the probe reads the headers fine, the extraction fails.
        QString text;
        for (int i = 0; i < 4000; ++i)
            text += QString::number(i * 7919 % 10007) + QLatin1Char(' ');
        F->MakeArchive("Mods/A.7z", {"gui/a.txt=" + text});
        {
            std::fstream f(F->Program + "Mods/A.7z", std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(64);
            f.put('\x5a');
            f.seekp(65);
            f.put('\xa5');
        }
        TResult r = Run({"--install", "--target", QString::fromStdString(Target), "--select", "Mods/A.7z,Looks/Red.7z"});
        QCOMPARE(r.Code, 1);
        QVERIFY2(r.Err.contains(QString::fromUtf8(LangTexts[ltInstallFailed][1])), qPrintable(r.Err));
        QVERIFY2(r.Err.contains("A.7z") && r.Err.contains("damaged"), qPrintable(r.Err));
        QCOMPARE(Record()->Installs.back().Status, std::string("failed"));
        QVERIFY(!FileExists(Target + "/look/colour.txt"));  // Red was never reached

        // A large first archive: SIGTERM while it unpacks stops it as Exit does.
        std::string big;
        uint32_t x = 12345;
        big.reserve(24u << 20);
        while (big.size() < (24u << 20)) {
            x = x * 1103515245u + 12345u;
            big += "0123456789abcdefghijklmnopqrstuvwxyz"[(x >> 16) % 36];
            if ((x & 0x3f) == 0)
                big += '\n';
        }
        F->MakeArchive("Mods/B.7z", {"big.txt=" + QString::fromLatin1(big)});
        QProcess p;
        Prepare(p, {"--install", "--target", QString::fromStdString(Target), "--select", "Mods/B.7z,Looks/Red.7z"});
        p.setReadChannel(QProcess::StandardError);
        p.start();
        QVERIFY(p.waitForStarted());
        QString err;
        while (!err.contains("Installing 1/2") && p.state() == QProcess::Running && p.waitForReadyRead(30000))
            err += QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains("Installing 1/2"), qPrintable(err));
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 3);
        QCOMPARE(Record()->Installs.back().Status, std::string("cancelled"));
        QVERIFY(!FileExists(Target + "/look/colour.txt"));
    }

    void selectionSavedByTheWindowIsLoadedByTheCommandLine()
    {
        ::setenv("LANG", "en_US.UTF-8", 1);
        const std::string saved = F->Root + "/mine.selection";
        std::vector<std::string> windowTicks;
        {
            TMessageRecorder messages;
            QStringList details;
            SetDetailsBoxHandler([&details](const QString& text, const QString& more) { details << text << more; });
            SetFileDialogHandler([&saved](TFileDialogKind, const QString&, const QString&, QString& path) {
                path = QString::fromStdString(saved);
                return true;
            });
            ResetShellState();
            TFMain w;
            w.show();
            QTest::mouseClick(w.BNext, Qt::LeftButton);
            auto* save = w.findChild<QPushButton*>("BSaveSel");
            auto* load = w.findChild<QPushButton*>("BLoadSel");
            QVERIFY(save && save->isVisible() && load->isVisible());
            QCOMPARE(save->text(), QStringLiteral("Save selection..."));
            auto node = [&w](const char* text) {
                for (TTreeNode* n = w.TVFiles->Items()->GetFirstNode(); n; n = n->GetNext())
                    if (n->Text() == QLatin1String(text))
                        return n;
                return static_cast<TTreeNode*>(nullptr);
            };
            w.TVFiles->ToggleNode(node("Blue.7z"));  // Red goes off
            w.TVFiles->ToggleNode(node("B.7z"));
            for (const std::string& f : w.CheckedItemList())
                windowTicks.push_back(f.substr(F->Program.size()));
            QCOMPARE(windowTicks, std::vector<std::string>({"Mods/A.7z", "Mods/B.7z", "Looks/Blue.7z"}));
            QTest::mouseClick(save, Qt::LeftButton);
            QCOMPARE(TSelectionFile::Read(saved), windowTicks);

            // Loading a file that names what the tree lacks: the rest is ticked, the rest listed.
            std::ofstream(F->Root + "/other.selection") << TSelectionFile::Format({"Mods/B.7z", "Mods/Nope.7z", "Looks/Red.7z"});
            SetFileDialogHandler([this](TFileDialogKind, const QString&, const QString&, QString& path) {
                path = QString::fromStdString(F->Root + "/other.selection");
                return true;
            });
            QTest::mouseClick(load, Qt::LeftButton);
            QVERIFY(node("B.7z")->StateIndex() == csChecked && node("Red.7z")->StateIndex() == csChecked);
            QVERIFY(node("A.7z")->StateIndex() == csUnchecked && node("Blue.7z")->StateIndex() == csUnchecked);
            QCOMPARE(details.size(), 2);
            QVERIFY2(details[1].contains("Mods/Nope.7z"), qPrintable(details[1]));
            SetFileDialogHandler({});
            SetDetailsBoxHandler({});
        }
        const std::string copy = F->Root + "/copy.selection";
        TResult r = Run({"--save-selection", QString::fromStdString(copy), "--selection", QString::fromStdString(saved)});
        QVERIFY2(r.Code == 0, qPrintable(r.Err));
        QCOMPARE(TSelectionFile::Read(copy), windowTicks);
        r = Run({"--install", "--target", QString::fromStdString(Target), "--selection", QString::fromStdString(saved)});
        QVERIFY2(r.Code == 0, qPrintable(r.Err));
        QCOMPARE(Record()->Installs.back().Archives, windowTicks);
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_cli.moc"
