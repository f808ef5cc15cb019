// The main window as a user meets it: start-up, captions in both languages, staging of
// the embedded files, Exit.
#include "TestSupport.h"

#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "platform/Dialogs.h"
#include "platform/EmbeddedResources.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QTimer>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QtTest>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {
std::unique_ptr<TFMain> ShowMain(const char* lang)
{
    ::setenv("LANG", lang, 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    auto w = std::make_unique<TFMain>();
    w->show();
    return w;
}

QStringList Captions(TFMain& w)
{
    return {w.LCopy->text(), w.BUpdate->text(), w.BBack->text(), w.BNext->text(), w.BCancel->text(),
            w.LChLang->text(), w.LChFiles->text(), w.CBEmptyFilesHide->text(), w.PFilesAnalyz->text(),
            w.LChDir->text(), w.BChDir->text(), w.CBRWFiles->text(), w.LMainProgress->text(),
            w.LFileProgress->text(), w.LUPCancel->text()};
}

QStringList ExpectedCaptions(int col)
{
    auto t = [col](TLangText row) { return QString::fromUtf8(LangTexts[row][col]); };
    return {t(ltVersion) + QStringLiteral(" 1.1.4.40  ") + t(ltMakersMark), t(ltUpgradeSetup), t(ltBack), t(ltNext),
            t(ltExit), t(ltSelectLanguage), t(ltSelectFiles), t(ltHideInaccessible), t(ltFilesAnalysis),
            t(ltInstallIn), t(ltChooseFolder), t(ltOverwrite), t(ltInstallation), t(ltUnpacking),
            t(ltInstallSuccessful)};
}

// The real message box and folder dialog, answered from a timer once they are up: the
// texts of their standard buttons, with mnemonics removed.
QStringList ButtonsOfNextModal(const std::function<void()>& show)
{
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        QWidget* modal = QApplication::activeModalWidget();
        const auto buttons = modal->findChildren<QAbstractButton*>();
        QAbstractButton* reject = nullptr;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            for (QAbstractButton* b : box->buttons())
                texts << b->text().remove(QLatin1Char('&'));
            reject = box->button(QMessageBox::No) ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok);
        } else if (auto* bb = modal->findChild<QDialogButtonBox*>()) {
            for (QAbstractButton* b : bb->buttons())
                texts << b->text().remove(QLatin1Char('&'));
            reject = bb->button(QDialogButtonBox::Cancel);
        }
        if (reject)
            reject->click();
        else
            modal->close();
    });
    show();
    texts.sort();
    return texts;
}

QStringList FilesUnder(const std::string& dir)
{
    QStringList out;
    QDirIterator it(QString::fromStdString(dir), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next().mid(static_cast<int>(dir.size()));
    out.sort();
    return out;
}
}

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startsOnLanguagePageInEnglish()
    {
        TProgramFolder folder;
        auto w = ShowMain("en_US.UTF-8");
        QCOMPARE(w->PCFrames->currentIndex(), 0);
        QVERIFY(!w->BUpdate->isVisible());
        QVERIFY(!w->BBack->isVisible());
        QVERIFY(w->BNext->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Setup"));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(LangIndex, 1);
        QCOMPARE(w->CBChLang->currentIndex(), 1);
        QCOMPARE(Captions(*w), ExpectedCaptions(1));
        QCOMPARE(w->width(), w->Scaled(657));
        QCOMPARE(w->height(), w->Scaled(467));
        SaveScreenshot(w.get(), QStringLiteral("page0-en"));
    }

    void startsInRussianOnlyForRussia()
    {
        {
            TProgramFolder folder;
            auto w = ShowMain("ru_RU.UTF-8");
            QCOMPARE(LangIndex, 0);
            QCOMPARE(w->CBChLang->currentIndex(), 0);
            QCOMPARE(Captions(*w), ExpectedCaptions(0));
            QCOMPARE(w->BCancel->text(), QString::fromUtf8("Выйти"));
            SaveScreenshot(w.get(), QStringLiteral("page0-ru"));
        }
        for (const char* other : {"ru_MD.UTF-8", "de_DE.UTF-8", "C"}) {
            TProgramFolder folder;
            auto w = ShowMain(other);
            QCOMPARE(LangIndex, 1);
        }
        QCOMPARE(LangIdForLocaleName("ru_RU.UTF-8"), 0x0419);
        QCOMPARE(LangIdForLocaleName("ru_MD"), 0x0819);
        QCOMPARE(LangIdForLocaleName("xx_YY"), 0x0409);
    }

    void languageSwitchRecaptionsEveryControl()
    {
        TProgramFolder folder;
        auto w = ShowMain("en_US.UTF-8");
        w->CBChLang->setCurrentIndex(0);
        emit w->CBChLang->activated(0);
        QCOMPARE(LangIndex, 0);
        QCOMPARE(Captions(*w), ExpectedCaptions(0));
        w->CBChLang->setCurrentIndex(1);
        emit w->CBChLang->activated(1);
        QCOMPARE(Captions(*w), ExpectedCaptions(1));
        // Visibility and the combo items are left alone.
        QVERIFY(!w->BBack->isVisible());
        QCOMPARE(w->CBChLang->itemText(0), QString::fromUtf8("Русский"));
    }

    // Qt's own texts follow the language chosen on the first page, in both directions.
    void questionBoxAndFolderDialogFollowTheLanguage()
    {
        TProgramFolder folder;
        auto w = ShowMain("en_US.UTF-8");
        const auto question = [] { QCOMPARE(ShowMessageBox(QString::fromUtf8(LangText(ltCancelInstall)), TMsgButtons::YesNo), TMsgResult::No); };
        const auto browse = [] {
            QString chosen;
            QVERIFY(!ShowFolderDialog(QString::fromUtf8(LangText(ltFolderDialogTitle)), chosen));
        };
        const QStringList english = ButtonsOfNextModal(question);
        QCOMPARE(english, (QStringList{QStringLiteral("No"), QStringLiteral("Yes")}));

        w->CBChLang->setCurrentIndex(0);
        emit w->CBChLang->activated(0);
        QCOMPARE(ButtonsOfNextModal(question), (QStringList{QString::fromUtf8("Да"), QString::fromUtf8("Нет")}));
        QVERIFY(ButtonsOfNextModal(browse).contains(QString::fromUtf8("Отмена")));

        w->CBChLang->setCurrentIndex(1);
        emit w->CBChLang->activated(1);
        QCOMPARE(ButtonsOfNextModal(question), english);
        QVERIFY(ButtonsOfNextModal(browse).contains(QStringLiteral("Cancel")));
    }

    void controlsCarryTheirNamesAndGeometry()
    {
        TProgramFolder folder;
        auto w = ShowMain("en_US.UTF-8");
        for (const char* name : {"PanelTop", "PCFrames", "TSLang", "LChLang", "CBChLang", "BUpdate", "TSFiles",
                                 "LChFiles", "TVFiles", "CBEmptyFilesHide", "PFilesAnalyz", "TSPath", "LChDir",
                                 "EDir", "BChDir", "CBRWFiles", "TSProgress", "LMainProgress", "PBMain",
                                 "LFileProgress", "PBFile", "TSCancel", "LUPCancel", "PanelBottom", "LCopy",
                                 "BBack", "BNext", "BCancel"})
            QVERIFY2(w->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(w->BNext->geometry(), QRect(w->Scaled(444), w->Scaled(7), w->Scaled(100), w->Scaled(25)));
        QCOMPARE(w->PBMain->maximum(), 100);
        QVERIFY(w->CBEmptyFilesHide->isChecked());
        QVERIFY(w->CBRWFiles->isHidden());
        QCOMPARE(w->BNext->nextInFocusChain(), w->BBack);
    }

    void exitCloses()
    {
        TProgramFolder folder;
        auto w = ShowMain("en_US.UTF-8");
        QTest::mouseClick(w->BCancel, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    }

    void defaultCatalogueIsByteExact()
    {
        TResourceData res;
        QVERIFY(FindEmbeddedResource("EXEFILE", "SCONF", res));
        const std::string bytes(reinterpret_cast<const char*>(res.Data), res.Size);
        QCOMPARE(bytes.size(), size_t(536));
        QCOMPARE(bytes, ExpectedDefaultCatalogue());
        QVERIFY(FindEmbeddedResource("exefile", "s7zdll", res));
        QCOMPARE(std::string(reinterpret_cast<const char*>(res.Data), res.Size),
                 ReadWholeFile(SETUP_EMBEDDED_7Z_LIBRARY));
    }

    void bothFilesBesideTheProgramStageNothing()
    {
        TProgramFolder folder;
        folder.WriteFile("Setup.conf", "# mine\r\n");
        folder.WriteFile("Setup.dll", "my library");
        auto w = ShowMain("en_US.UTF-8");
        QCOMPARE(ConfPath, std::string("Setup.conf"));
        QCOMPARE(LibPath, std::string("Setup.dll"));
        QVERIFY(!ConfStaged && !LibStaged);
        QVERIFY(FilesUnder(folder.Temp).isEmpty());
        w->close();
        QCOMPARE(folder.ReadFile(folder.Program + "Setup.conf"), std::string("# mine\r\n"));
        QCOMPARE(folder.ReadFile(folder.Program + "Setup.dll"), std::string("my library"));
    }

    void onlyTheLibraryBesideStagesTheCatalogue()
    {
        TProgramFolder folder;
        folder.WriteFile("Setup.dll", "my library");
        auto w = ShowMain("en_US.UTF-8");
        QVERIFY(ConfStaged);
        QVERIFY(!LibStaged);
        QCOMPARE(LibPath, std::string("Setup.dll"));
        QCOMPARE(ConfPath, WorkFolder + "/Setup.conf");
        QCOMPARE(folder.ReadFile(ConfPath), ExpectedDefaultCatalogue());
        w->close();
        QVERIFY(!FileExists(ConfPath));
        QVERIFY(DirectoryExists(WorkFolder));
        QCOMPARE(folder.ReadFile(folder.Program + "Setup.dll"), std::string("my library"));
    }

    void neitherFileBesideStagesBothInAGuidFolder()
    {
        TProgramFolder folder;
        auto w = ShowMain("en_US.UTF-8");
        QVERIFY(ConfStaged && LibStaged);
        const QString work = QString::fromStdString(WorkFolder);
        QVERIFY(work.startsWith(QString::fromStdString(folder.Temp + "/")));
        const QString guid = work.mid(static_cast<int>(folder.Temp.size()) + 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"))
                     .match(guid)
                     .hasMatch(),
                 qPrintable(guid));
        QCOMPARE(ConfPath, WorkFolder + "/Setup.conf");
        QCOMPARE(LibPath, WorkFolder + "/Setup.dll");
        QCOMPARE(folder.ReadFile(ConfPath), ExpectedDefaultCatalogue());
        QVERIFY(folder.ReadFile(LibPath) == ReadWholeFile(SETUP_EMBEDDED_7Z_LIBRARY));
        w->close();
        QVERIFY(!FileExists(ConfPath));
        QVERIFY(!FileExists(LibPath));
        QVERIFY(DirectoryExists(WorkFolder));
    }

    void closeDeletesOnlyTheCopiesItMade()
    {
        TProgramFolder folder;
        auto w = ShowMain("en_US.UTF-8");
        const std::string staged = LibPath;
        folder.WriteFile("elsewhere.so", "keep me");
        LibPath = folder.Program + "elsewhere.so";  // a path pointed elsewhere after staging
        w->close();
        QCOMPARE(folder.ReadFile(LibPath), std::string("keep me"));
        QVERIFY(FileExists(staged));
        QVERIFY(!FileExists(ConfPath));
    }

    void unwritableTempFolderStillStarts()
    {
        TProgramFolder folder;
        // A file where the temporary folder should be: nothing can be made below it.
        folder.WriteFile("not-a-folder", "x");
        ::setenv("TMPDIR", (folder.Program + "not-a-folder").c_str(), 1);
        auto w = ShowMain("en_US.UTF-8");
        QVERIFY(w->isVisible());
        QVERIFY(ConfStaged && LibStaged);
        QVERIFY(!FileExists(ConfPath));
        QCOMPARE(w->PCFrames->currentIndex(), 0);
        w->close();
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
