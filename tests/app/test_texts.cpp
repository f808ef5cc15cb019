// Every text the user can meet, read off the real window and the real notice in both
// languages and compared with the words written out here, not with the program's table:
// a wrong word in the table fails this test.
#include "TestSupport.h"

#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Dialogs.h"
#include "update/TThCheckUpd.h"
#include "update/TUpdateServer.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

namespace {

struct TExpectedTexts {
    QStringList Captions;  // LCopy, BUpdate, BBack, BNext, BCancel, LChLang, LChFiles,
                           // CBEmptyFilesHide, PFilesAnalyz, LChDir, BChDir, CBRWFiles,
                           // LMainProgress, LFileProgress, LUPCancel
    QStringList Notice;    // lMessage, bYes, bNo
    QStringList Nodes;     // the catalogue with a note on each unusable file
    QString FolderTitle;
    QString Done;
    QString FailedSwap, FailedDownload, NothingChecked, BadFolder, CancelQuestion, InstallFailed;
};

TExpectedTexts Russian()
{
    TExpectedTexts t;
    t.Captions = {QString::fromUtf8("Версия: 1.1.4.40  © OVK"),
                  QString::fromUtf8("Обновить Setup..."),
                  QString::fromUtf8("< Назад"),
                  QString::fromUtf8("Вперед >"),
                  QString::fromUtf8("Выйти"),
                  QString::fromUtf8("Выберите язык:"),
                  QString::fromUtf8("Выберите файлы для установки:"),
                  QString::fromUtf8("Скрывать недоступные файлы"),
                  QString::fromUtf8("Анализ файлов..."),
                  QString::fromUtf8("Установить в:"),
                  QString::fromUtf8("Выбрать..."),
                  QString::fromUtf8("Перезаписывать файлы при совпадении имен"),
                  QString::fromUtf8("Установка:"),
                  QString::fromUtf8("Распаковка:"),
                  QString::fromUtf8("Установка успешно завершена!")};
    t.Notice = {QString::fromUtf8("Доступна новая версия программы \"1.1.4.41\". Обновить?"),
                QString::fromUtf8("Да"), QString::fromUtf8("Нет")};
    t.Nodes = {QStringLiteral("Mods"), QStringLiteral("good.7z"),
               QString::fromUtf8("Файл \"missing.7z\" не найден"),
               QString::fromUtf8("Формат файла \"notes.txt\" не определен"),
               QString::fromUtf8("Файл \"empty.zip\" пуст")};
    t.FolderTitle = QString::fromUtf8("Укажите путь к папке \"World_of_Tanks\\res_mods\\X.X.X\\\":");
    t.Done = QString::fromUtf8("Готово");
    t.FailedSwap = QString::fromUtf8("Не удалось обновить программу. Недоступен целевой каталог.");
    t.FailedDownload = QString::fromUtf8(
        "Не удалось обновить программу. Нет связи с сервером или недоступен целевой каталог.");
    t.NothingChecked = QString::fromUtf8("Файлы для установки не выбраны.");
    t.BadFolder = QString::fromUtf8("Указанная директория не доступна.");
    t.CancelQuestion = QString::fromUtf8("Прервать установку?");
    t.InstallFailed = QString::fromUtf8("В процессе установки произошла ошибка. Установка не завершена. "
                                        "Для выхода из программы нажмите \"Выйти\".");
    return t;
}

TExpectedTexts English()
{
    TExpectedTexts t;
    t.Captions = {QString::fromUtf8("Version: 1.1.4.40  © OVK"),
                  QStringLiteral("Upgrade Setup..."),
                  QStringLiteral("< Back"),
                  QStringLiteral("Next >"),
                  QStringLiteral("Exit"),
                  QStringLiteral("Select a language:"),
                  QStringLiteral("Select the files to be installed:"),
                  QStringLiteral("Hide inaccessible files"),
                  QStringLiteral("The files analysis..."),
                  QStringLiteral("Install in the folder:"),
                  QStringLiteral("Select..."),
                  QStringLiteral("Overwrite files with the same name"),
                  QStringLiteral("Installation:"),
                  QStringLiteral("Unpacking:"),
                  QStringLiteral("Installation successful!")};
    t.Notice = {QStringLiteral("A new version of the program available \"1.1.4.41\". Upgrade now?"),
                QStringLiteral("Yes"), QStringLiteral("No")};
    t.Nodes = {QStringLiteral("Mods"), QStringLiteral("good.7z"), QStringLiteral("File \"missing.7z\" not found"),
               QStringLiteral("File \"notes.txt\" format is not known"),
               QStringLiteral("File \"empty.zip\" is empty")};
    t.FolderTitle = QStringLiteral("Specify the path to the folder \"World_of_Tanks\\res_mods\\X.X.X\\\":");
    t.Done = QStringLiteral("Done");
    t.FailedSwap = QStringLiteral("The failed to upgrade the program. Unavailable target directory.");
    // Two blanks before "or", as the program has always said it.
    t.FailedDownload = QStringLiteral("The failed to upgrade the program. No connection to the server  or the "
                                      "target directory is not available.");
    t.NothingChecked = QStringLiteral("Installation files are not selected.");
    t.BadFolder = QStringLiteral("The specified directory is not available.");
    t.CancelQuestion = QStringLiteral("Cancel install?");
    t.InstallFailed = QStringLiteral("During installation, an error occurred. Installation is not complete. "
                                     "To exit the program, click \"Exit\".");
    return t;
}

QStringList Captions(const TFMain& w)
{
    return {w.LCopy->text(), w.BUpdate->text(), w.BBack->text(), w.BNext->text(), w.BCancel->text(),
            w.LChLang->text(), w.LChFiles->text(), w.CBEmptyFilesHide->text(), w.PFilesAnalyz->text(),
            w.LChDir->text(), w.BChDir->text(), w.CBRWFiles->text(), w.LMainProgress->text(),
            w.LFileProgress->text(), w.LUPCancel->text()};
}

QStringList NodeTexts(const TFMain& w)
{
    QStringList out;
    for (TTreeNode* n = w.TVFiles->Items()->GetFirstNode(); n; n = n->GetNext())
        out << n->Text();
    return out;
}

TTreeNode* NodeNamed(const TFMain& w, const QString& text)
{
    for (TTreeNode* n = w.TVFiles->Items()->GetFirstNode(); n; n = n->GetNext()) {
        if (n->Text() == text)
            return n;
    }
    return nullptr;
}

}  // namespace

class TestTexts : public QObject {
    Q_OBJECT

private slots:
    void everyTextInBothLanguages_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("russian");
        QTest::newRow("ru") << QStringLiteral("ru_RU.UTF-8") << true;
        QTest::newRow("en") << QStringLiteral("en_US.UTF-8") << false;
    }

    void everyTextInBothLanguages()
    {
        QFETCH(QString, locale);
        QFETCH(bool, russian);
        const TExpectedTexts expected = russian ? Russian() : English();

        TProgramFolder folder;
        TMessageRecorder messages;  // the one question is answered No
        ::setenv("LANG", locale.toLatin1().constData(), 1);
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_MESSAGES");
        TUpdateServer::SetHostOverride("127.0.0.1:1");  // nothing listens: the check fails at once
        folder.WriteFile("Setup.conf", "0F00Mods\r\n\t2T01good.7z\r\n\t1F00missing.7z\r\n\t1F00notes.txt\r\n"
                                       "\t1F00empty.zip\r\n");
        folder.MakeArchive("Mods/good.7z", {QStringLiteral("a.txt=alpha")});
        folder.WriteFile("Mods/notes.txt", "not an archive");
        folder.WriteFile("Mods/empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
        // A pending swap that cannot be made: the old build's name is taken by a folder.
        folder.WriteFile("Setup.newupdate", "new build");
        QVERIFY(::mkdir((folder.Program + "Setup.oldupdate").c_str(), 0755) == 0);

        const int checksBefore = TThCheckUpd::ChecksFinished();
        TFMain w;
        auto* notice = new TfUpdMess(&w);
        fUpdMess = notice;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Setup"));
        QCOMPARE(Captions(w), expected.Captions);
        QCOMPARE(w.CBChLang->itemText(0), QString::fromUtf8("Русский"));
        QCOMPARE(w.CBChLang->itemText(1), QStringLiteral("English"));

        // The update notice, answered Yes, with no server to download from.
        QTRY_VERIFY_WITH_TIMEOUT(TThCheckUpd::ChecksFinished() > checksBefore, 30000);
        ServerVersionText.Set("1.1.4.41");
        QStringList noticeTexts;
        QString noticeTitle;
        SetModalHandler([&](QDialog*) {
            noticeTitle = notice->windowTitle();
            noticeTexts = {notice->lMessage->text(), notice->bYes->text(), notice->bNo->text()};
            return int(TfUpdMess::mrYes);
        });
        w.BUpdateClick();
        SetModalHandler({});
        QCOMPARE(noticeTitle, QStringLiteral("Setup"));
        QCOMPARE(noticeTexts, expected.Notice);

        // The catalogue, with the unusable files shown and noted.
        w.CBEmptyFilesHide->click();
        QTest::mouseClick(w.BNext, Qt::LeftButton);
        QCOMPARE(NodeTexts(w), expected.Nodes);
        TTreeNode* good = NodeNamed(w, QStringLiteral("good.7z"));
        QVERIFY(good);
        w.TVFiles->ToggleNode(good);
        QTest::mouseClick(w.BNext, Qt::LeftButton);  // nothing checked
        w.TVFiles->ToggleNode(good);
        QTest::mouseClick(w.BNext, Qt::LeftButton);
        QCOMPARE(w.PCFrames->currentIndex(), int(TFMain::PagePath));

        QString folderTitle;
        SetFolderDialogHandler([&](const QString& title, QString&) {
            folderTitle = title;
            return false;
        });
        QTest::mouseClick(w.BChDir, Qt::LeftButton);
        SetFolderDialogHandler({});
        QCOMPARE(folderTitle, expected.FolderTitle);
        w.EDir->setText(QStringLiteral("/proc/no/such/folder"));
        QTest::mouseClick(w.BNext, Qt::LeftButton);

        // The worker cannot end before the main thread serves it, so Exit finds it running.
        w.EDir->setText(QString::fromStdString(folder.Root + "/target/"));
        QTest::mouseClick(w.BNext, Qt::LeftButton);
        w.BCancel->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.PCFrames->currentIndex(), int(TFMain::PageDone), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(InstallFinished.load(), 30000);
        QCOMPARE(w.BCancel->text(), expected.Done);
        QCOMPARE(w.LUPCancel->text(), expected.Captions.last());

        // An archive that went away before its turn.
        w.StartInstaller({folder.Program + "Mods/gone.7z"}, folder.Root + "/target/");
        QTRY_COMPARE_WITH_TIMEOUT(messages.Texts.size(), 6, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(InstallFinished.load(), 30000);

        QCOMPARE(messages.Texts.mid(0, 5), (QStringList{expected.FailedSwap, expected.FailedDownload,
                                                        expected.NothingChecked, expected.BadFolder,
                                                        expected.CancelQuestion}));
        // Details of the failure may follow the sentence; the sentence itself is fixed.
        QVERIFY2(messages.Texts[5].startsWith(expected.InstallFailed), qPrintable(messages.Texts[5]));

        fUpdMess = nullptr;
        TUpdateServer::SetHostOverride("");
        ResetUpdateState();
    }
};

QTEST_MAIN(TestTexts)
#include "test_texts.moc"
