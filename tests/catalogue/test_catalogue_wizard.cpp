// The real main window from the language page to the path page: the tree built from a
// folder of real archives, then the folder proposed from a Wine prefix in HOME.
#include "TestSupport.h"

#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {
const QStringList Content = {QStringLiteral("gui/mod.txt=mod")};

// A prefix as wineboot leaves it, with the replay association written by the game's setup.
std::string MakeGamePrefix(const std::string& home)
{
    const std::string prefix = home + "/.wine";
    const std::string game = prefix + "/drive_c/Games/World_of_Tanks/";
    ForceDirectories(game + "res_mods/1.24.0.1");
    ForceDirectories(prefix + "/dosdevices");
    if (::symlink("../drive_c", (prefix + "/dosdevices/c:").c_str()) != 0)
        return {};
    std::ofstream(game + "WorldOfTanks.exe", std::ios::binary) << "MZ";
    std::ofstream(game + "paths.xml", std::ios::binary)
        << "<root>\r\n  <Paths>\r\n    <Path>./res_mods/1.24.0.1</Path>\r\n    <Path>./res/packages</Path>\r\n"
           "  </Paths>\r\n</root>\r\n";
    std::ofstream(prefix + "/system.reg", std::ios::binary)
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
           "[Software\\\\Classes\\\\.wotreplay\\\\DefaultIcon] 1700000000\n#time=1d9a0b0c0d0e0f0\n"
           "@=\"\\\"C:\\\\Games\\\\World_of_Tanks\\\\WorldOfTanks.exe\\\",0\"\n\n";
    return game + "res_mods/1.24.0.1/";
}

QString Canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

// Counts a widget's paints and the tree's nodes at the first one.
struct TPaintSpy : QObject {
    explicit TPaintSpy(const TTreeNodes& nodes) : Nodes(nodes) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && Paints++ == 0)
            NodesAtFirstPaint = Nodes.Count();
        return false;
    }
    const TTreeNodes& Nodes;
    int Paints = 0;
    int NodesAtFirstPaint = -1;
};
}

class TestCatalogueWizard : public QObject {
    Q_OBJECT

private slots:
    void languagePageToFilesPageToPathPage()
    {
        TProgramFolder folder;
        ::setenv("LANG", "en_US.UTF-8", 1);
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_MESSAGES");
        folder.MakeArchive("Crosshairs/Crosshair-A.7z", Content);
        folder.MakeArchive("Crosshairs/crosshair-b.zip", Content);
        folder.WriteFile("Crosshairs/readme.txt", "how to");
        folder.MakeArchive("Sounds/Sounds.7z", Content);
        folder.MakeArchive("loose.7z", Content);
        const std::string target = MakeGamePrefix(folder.Home);
        QVERIFY(!target.empty());
        TMessageRecorder messages;

        auto w = std::make_unique<TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->PCFrames->currentIndex(), 0);
        // The build blocks the event loop: the analysis panel is painted before it or never.
        TPaintSpy panelPaints(*w->TVFiles->Items());
        w->PFilesAnalyz->installEventFilter(&panelPaints);
        QTest::mouseClick(w->BNext, Qt::LeftButton);
        QCOMPARE(w->PCFrames->currentIndex(), 1);
        w->PFilesAnalyz->removeEventFilter(&panelPaints);
        QVERIFY(panelPaints.Paints > 0);
        QCOMPARE(panelPaints.NodesAtFirstPaint, 0);

        // No Setup.conf beside the program: the staged default text makes it an analysis.
        QVERIFY(ConfStaged);
        TTreeNodes* items = w->TVFiles->Items();
        auto lines = [items] {
            QStringList out;
            for (TTreeNode* n = items->GetFirstNode(); n; n = n->GetNext())
                out << QString::number(n->StateIndex()) + QLatin1Char(' ') + n->Text();
            return out;
        };
        QCOMPARE(lines(), (QStringList{"0 Crosshairs", "2 Crosshair-A.7z", "1 crosshair-b.zip", "0 Sounds",
                                       "2 Sounds.7z"}));
        QVERIFY(w->CBEmptyFilesHide->isVisible());
        QVERIFY(w->CBEmptyFilesHide->isChecked());
        QVERIFY(!w->PFilesAnalyz->isVisible());
        QVERIFY(w->TVFiles->isExpanded(w->TVFiles->model()->index(0, 0)));

        // Off and on again: two builds, each from scratch, so the tick goes back.
        w->TVFiles->ToggleNode(items->Item(2));
        QCOMPARE(items->Item(1)->StateIndex(), csUnchecked);
        QTest::mouseClick(w->CBEmptyFilesHide, Qt::LeftButton);
        QCOMPARE(lines(), (QStringList{"0 Crosshairs", "2 Crosshair-A.7z", "1 crosshair-b.zip",
                                       "0 File \"readme.txt\" format is not known", "0 Sounds", "2 Sounds.7z"}));
        w->TVFiles->ToggleNode(items->Item(2));
        QTest::mouseClick(w->CBEmptyFilesHide, Qt::LeftButton);
        QCOMPARE(lines(), (QStringList{"0 Crosshairs", "2 Crosshair-A.7z", "1 crosshair-b.zip", "0 Sounds",
                                       "2 Sounds.7z"}));
        QCOMPARE(static_cast<int>(w->TVFiles->RadioStates.size()), items->Count());

        QTest::mouseClick(w->BNext, Qt::LeftButton);
        QCOMPARE(w->PCFrames->currentIndex(), 2);
        QVERIFY(messages.Texts.isEmpty());
        const QString proposed = w->EDir->text();
        QVERIFY2(proposed.endsWith(QLatin1Char('/')), qPrintable(proposed));
        QCOMPARE(Canonical(proposed), Canonical(QString::fromStdString(target)));
        w->close();
    }

    void catalogueErrorIsShownAndThePageStaysUsable()
    {
        TProgramFolder folder;
        ::setenv("LANG", "en_US.UTF-8", 1);
        folder.MakeArchive("Mods/a.7z", Content);
        folder.WriteFile("Setup.conf", "0F00Mods\r\n\t2F00a.7z\r\n\t\t\t2F00d\r\n");
        TMessageRecorder messages;
        auto w = std::make_unique<TFMain>();
        w->show();
        QTest::mouseClick(w->BNext, Qt::LeftButton);
        QCOMPARE(w->PCFrames->currentIndex(), 1);
        QCOMPARE(messages.Texts, QStringList{QStringLiteral("Invalid level (3) for item \"d\"")});
        QCOMPARE(w->TVFiles->Items()->Count(), 2);
        QVERIFY(!w->PFilesAnalyz->isVisible());
        QVERIFY(!w->TVFiles->Items()->Updating());
        // The nodes read before the faulty line can still be installed from.
        QTest::mouseClick(w->BNext, Qt::LeftButton);
        QCOMPARE(w->PCFrames->currentIndex(), 2);
        w->close();
    }
};

QTEST_MAIN(TestCatalogueWizard)
#include "test_catalogue_wizard.moc"
