// Walking the wizard's pages forward and back, with the checks made before a page is left.
#include "TestSupport.h"

#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <cstdlib>
#include <memory>

namespace {
const QStringList Content = {QStringLiteral("gui/a.txt=alpha"), QStringLiteral("b.txt=beta")};

struct TWizard {
    explicit TWizard(const std::string& conf, const char* lang = "en_US.UTF-8")
    {
        folder.WriteFile("Setup.conf", conf);
        ::setenv("LANG", lang, 1);
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_MESSAGES");
    }
    ~TWizard()
    {
        // The worker touches the window until it ends.
        if (Installer)
            QTRY_VERIFY_WITH_TIMEOUT(InstallFinished.load(), 30000);
        w.reset();
    }
    void Show()
    {
        w = std::make_unique<TFMain>();
        w->show();
    }
    void Next() { QTest::mouseClick(w->BNext, Qt::LeftButton); }
    void Back() { QTest::mouseClick(w->BBack, Qt::LeftButton); }
    int Page() const { return w->PCFrames->currentIndex(); }
    TTreeNode* Node(int i) const { return w->TVFiles->Items()->Item(i); }

    TProgramFolder folder;
    TMessageRecorder messages;
    std::unique_ptr<TFMain> w;
};

QString Row(TLangText row)
{
    return QString::fromUtf8(LangText(row));
}
}

class TestNavigation : public QObject {
    Q_OBJECT

private slots:
    void nothingCheckedStaysOnTheFilesPage()
    {
        TWizard z("0F00Mods\r\n\t1F00a.7z\r\n\t3F00b.7z\r\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.folder.MakeArchive("Mods/b.7z", Content);
        z.Show();
        z.Next();
        QCOMPARE(z.Page(), 1);
        QVERIFY(z.w->BBack->isVisible());
        QCOMPARE(z.w->TVFiles->Items()->Count(), 3);
        z.Next();
        QCOMPARE(z.Page(), 1);
        QCOMPARE(z.messages.Texts, QStringList{Row(ltNothingSelected)});
    }

    void backFromTheFilesPageRebuildsTheTree()
    {
        TWizard z("0F00Mods\n\t1T01a.7z\n\t1T01b.7z\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.folder.MakeArchive("Mods/b.7z", Content);
        z.Show();
        z.Next();
        z.w->TVFiles->ToggleNode(z.Node(2));
        QCOMPARE(z.Node(2)->StateIndex(), csChecked);
        z.Back();
        QCOMPARE(z.Page(), 0);
        QVERIFY(!z.w->BBack->isVisible());
        QCOMPARE(z.w->TVFiles->Items()->Count(), 0);
        z.Next();
        QCOMPARE(z.Node(2)->StateIndex(), csUnchecked);
    }

    void backFromThePathPageProposesAnew()
    {
        TWizard z("0F00Mods\n\t2F00a.7z\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.Show();
        z.Next();
        z.Next();
        QCOMPARE(z.Page(), 2);
        QCOMPARE(z.w->EDir->text(), QString());  // no game in this home
        z.w->EDir->setText(QStringLiteral("typed"));
        z.Back();
        QCOMPARE(z.Page(), 1);
        QCOMPARE(z.w->EDir->text(), QString());
        QCOMPARE(z.Node(1)->StateIndex(), csChecked);  // the tree stays as it was
        z.w->EDir->setText(QStringLiteral("typed again"));
        z.Next();
        QCOMPARE(z.w->EDir->text(), QString());
    }

    void unusableFolderIsRefused()
    {
        TWizard z("0F00Mods\n\t2F00a.7z\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.Show();
        z.Next();
        z.Next();
        z.Next();  // empty folder field
        QCOMPARE(z.Page(), 2);
        z.w->EDir->setText(QStringLiteral("/proc/no/such/folder"));
        z.Next();
        QCOMPARE(z.Page(), 2);
        QCOMPARE(z.messages.Texts, (QStringList{Row(ltFolderUnavailable), Row(ltFolderUnavailable)}));
        QVERIFY(z.w->BNext->isVisible());
        QVERIFY(z.w->HasSystemMenu());
    }

    void typedFolderIsCreatedAndTheInstallationStarts()
    {
        TWizard z("0F00Mods\n\t2F00a.7z\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.Show();
        z.Next();
        z.Next();
        const std::string target = z.folder.Root + "/game/res_mods/1.0/";
        z.w->EDir->setText(QString::fromStdString(target));
        z.Next();
        QVERIFY(DirectoryExists(target));
        QCOMPARE(z.Page(), 3);
        QVERIFY(!z.w->BBack->isVisible());
        QVERIFY(!z.w->BNext->isVisible());
        QVERIFY(!z.w->HasSystemMenu());
        QCOMPARE(z.w->LastItemList, tFilesArray{z.folder.Program + "Mods/a.7z"});
    }

    void relativeFolderIsMadeInTheWorkingFolder()
    {
        TWizard z("0F00Mods\n\t2F00a.7z\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.Show();
        z.Next();
        z.Next();
        z.w->EDir->setText(QStringLiteral("rel/target"));
        z.Next();
        QCOMPARE(z.Page(), 3);
        QVERIFY(DirectoryExists(z.folder.Program + "rel/target"));
    }

    void checkedFolderAloneGivesAnEmptyList()
    {
        TWizard z("2F00Mods\n\t1F00a.7z\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.Show();
        z.Next();
        z.Next();
        QCOMPARE(z.Page(), 2);
        z.w->EDir->setText(QString::fromStdString(z.folder.Root + "/t"));
        z.Next();
        QCOMPARE(z.Page() >= 3, true);
        QVERIFY(z.w->LastItemList.empty());
    }

    void itemsAreListedInTreeOrder()
    {
        TWizard z("0F00Mods\n\t2F00a.7z\n\t1F00c.7z\n0F00Extra\n\t2F00b.zip\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.folder.MakeArchive("Mods/c.7z", Content);
        z.folder.MakeArchive("Extra/b.zip", Content);
        z.Show();
        z.Next();
        z.Next();
        z.w->EDir->setText(QString::fromStdString(z.folder.Root + "/t/"));
        z.Next();
        QCOMPARE(z.w->LastItemList,
                 (tFilesArray{z.folder.Program + "Mods/a.7z", z.folder.Program + "Extra/b.zip"}));
    }

    void folderDialogFillsTheField()
    {
        TWizard z("0F00Mods\n\t2F00a.7z\n");
        z.folder.MakeArchive("Mods/a.7z", Content);
        z.Show();
        z.Next();
        z.Next();
        QString asked;
        QString answer = QStringLiteral("/games/wot/res_mods/1.0");
        bool confirm = true;
        SetFolderDialogHandler([&](const QString& title, QString& folder) {
            asked = title;
            folder = answer;
            return confirm;
        });
        QTest::mouseClick(z.w->BChDir, Qt::LeftButton);
        QCOMPARE(asked, Row(ltFolderDialogTitle));
        QCOMPARE(z.w->EDir->text(), QStringLiteral("/games/wot/res_mods/1.0/"));
        answer = QStringLiteral("/");
        QTest::mouseClick(z.w->BChDir, Qt::LeftButton);
        QCOMPARE(z.w->EDir->text(), QStringLiteral("/"));
        confirm = false;
        QTest::mouseClick(z.w->BChDir, Qt::LeftButton);
        QCOMPARE(z.w->EDir->text(), QStringLiteral("/"));
        SetFolderDialogHandler({});
    }

    // The files and path pages, and the box that refuses an unusable folder, as the user sees
    // them; the box is the real one the program shows.
    void screenshotsOfTheFilesAndPathPages()
    {
        for (const char* lang : {"en_US.UTF-8", "ru_RU.UTF-8"}) {
            TWizard z("0F00Crosshairs\n\t2T01Crosshair-A.7z\n\t1T01Crosshair-B.7z\n\t1T01Missing.zip\n0F00Sounds\n\t3F00Voices.7z\n",
                      lang);
            z.folder.MakeArchive("Crosshairs/Crosshair-A.7z", Content);
            z.folder.MakeArchive("Crosshairs/Crosshair-B.7z", Content);
            z.folder.MakeArchive("Sounds/Voices.7z", Content);
            z.Show();
            z.w->CBEmptyFilesHide->click();  // hiding off: the missing file shows its note
            z.Next();
            const QString suffix = QString::fromLatin1(lang).left(2);
            QVERIFY(SaveScreenshot(z.w.get(), QStringLiteral("page1-") + suffix));
            z.Next();
            z.w->EDir->setText(QStringLiteral("/games/World_of_Tanks/res_mods/1.0/"));
            QVERIFY(SaveScreenshot(z.w.get(), QStringLiteral("page2-") + suffix));

            z.w->EDir->setText(QStringLiteral("/proc/no/such/folder"));
            SetMessageBoxHandler({});
            QString shown;
            SaveNextMessageBox(QStringLiteral("error-") + suffix, &shown);
            z.Next();
            QCOMPARE(shown, Row(ltFolderUnavailable));
            QCOMPARE(z.Page(), 2);
        }
    }
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
