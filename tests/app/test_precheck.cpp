// What the wizard weighs before it writes: the space a selection needs, a running game
// client, and the picture and description a pack puts beside an archive.
#include "TestSupport.h"

#include "shell/ExtraTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "app/TModPreview.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/TFolderLock.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
QString Bytes(int n, char c)
{
    return QString(n, QLatin1Char(c));
}

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
        if (Installer && w && w->PCFrames->currentIndex() >= TFMain::PageProgress)
            QTRY_VERIFY_WITH_TIMEOUT(InstallFinished.load(), 30000);
        w.reset();
    }
    void Show()
    {
        w = std::make_unique<TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void Next() { QTest::mouseClick(w->BNext, Qt::LeftButton); }
    int Page() const { return w->PCFrames->currentIndex(); }
    TTreeNode* Node(int i) const { return w->TVFiles->Items()->Item(i); }
    void ToPathPage(const std::string& target)
    {
        Next();
        Next();
        QCOMPARE(Page(), int(TFMain::PagePath));
        w->EDir->setText(QString::fromStdString(target));
    }

    TProgramFolder folder;
    TMessageRecorder messages;
    std::unique_ptr<TFMain> w;
};

// A mounted tmpfs, unmounted at the end.
struct TTmpfs {
    explicit TTmpfs(const std::string& dir, const char* size) : Dir(dir)
    {
        ForceDirectories(dir);
        Mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, size) == 0;
    }
    ~TTmpfs()
    {
        if (Mounted)
            ::umount2(Dir.c_str(), MNT_DETACH);
    }
    std::string Dir;
    bool Mounted = false;
};

// A process started with argv[0] set as Wine sets it for a Windows program.
struct TFakeProcess {
    TFakeProcess(const std::string& program, const std::string& argv0)
    {
        char* argv[] = {const_cast<char*>(argv0.c_str()), const_cast<char*>("300"), nullptr};
        if (::posix_spawn(&Pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
            Pid = -1;
    }
    ~TFakeProcess() { Stop(); }
    void Stop()
    {
        if (Pid <= 0)
            return;
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
        Pid = -1;
    }
    pid_t Pid = -1;
};

uint32_t Crc32(const QByteArray& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc ^= static_cast<uint8_t>(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A real PNG whose header claims width x height.
QByteArray PngClaiming(int width, int height)
{
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&buf, "PNG");
    auto put32 = [&png](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>(v >> (24 - 8 * i));
    };
    put32(16, static_cast<uint32_t>(width));
    put32(20, static_cast<uint32_t>(height));
    put32(29, Crc32(png.mid(12, 17)));
    return png;
}

void WriteBytes(const std::string& path, const QByteArray& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
}

QString Needed(unsigned long long bytes)
{
    return ExtraText(etSpaceNeeded).arg(SizeText(bytes));
}
}

class TestPrecheck : public QObject {
    Q_OBJECT

private slots:
    void spaceLineFollowsTicksAndRadioSwitches()
    {
        TWizard z("0F00Mods\r\n\t2T01a.7z\r\n\t1T01b.7z\r\n\t1F00c.7z\r\n");
        z.folder.MakeArchive("Mods/a.7z", {QStringLiteral("a1.txt=") + Bytes(300000, 'a'), QStringLiteral("d/a2.txt=") + Bytes(1000, 'b')});
        z.folder.MakeArchive("Mods/b.7z", {QStringLiteral("b.txt=") + Bytes(50000, 'c')});
        z.folder.MakeArchive("Mods/c.7z", {QStringLiteral("c.txt=") + Bytes(20000, 'd')});
        z.Show();
        z.Next();
        QVERIFY(z.w->LSpaceNeeded->isVisible());
        QCOMPARE(z.w->LSpaceNeeded->text(), Needed(301000));

        z.w->TVFiles->ToggleNode(z.Node(2));  // its radio partner a goes off
        QCoreApplication::processEvents();
        QCOMPARE(z.w->LSpaceNeeded->text(), Needed(50000));
        z.w->TVFiles->ToggleNode(z.Node(3));
        QCoreApplication::processEvents();
        QCOMPARE(z.w->LSpaceNeeded->text(), Needed(70000));
        z.w->TVFiles->ToggleNode(z.Node(2));
        z.w->TVFiles->ToggleNode(z.Node(3));
        QCoreApplication::processEvents();
        QVERIFY(!z.w->LSpaceNeeded->isVisible());
        QVERIFY(z.messages.Texts.isEmpty());
    }

    void smallFileSystemRefusesLargeSelection()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a tmpfs needs root");
        TWizard z("0F00Mods\r\n\t2F00big.7z\r\n\t1F00small.7z\r\n");
        z.folder.MakeArchive("Mods/big.7z", {QStringLiteral("big.bin=") + Bytes(5 << 20, 'x')});
        z.folder.MakeArchive("Mods/small.7z", {QStringLiteral("small.bin=") + Bytes(100000, 'y')});
        TTmpfs fs(z.folder.Root + "/tmpfs", "size=1m");
        if (!fs.Mounted)
            QSKIP("tmpfs cannot be mounted here");
        z.Show();
        z.ToPathPage(fs.Dir);
        QVERIFY(z.w->LFreeSpace->isVisible());
        QVERIFY(z.w->LFreeSpace->text().startsWith(ExtraText(etSpaceFree).section(QLatin1Char('%'), 0, 0)));

        z.Next();
        QCOMPARE(z.Page(), int(TFMain::PagePath));
        QCOMPARE(z.messages.Texts.size(), 1);
        const QString text = z.messages.Texts.front();
        QVERIFY2(text.startsWith(ExtraText(etSpaceShort).section(QLatin1Char('\n'), 0, 0)), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Needed: 5.")));
        QVERIFY2(text.contains(QStringLiteral("Free: 1.0 MB")), qPrintable(text));
        QVERIFY(!FileExists(fs.Dir + "/big.bin"));
        TFolderLock probe;
        QVERIFY2(probe.TryAcquire(fs.Dir), "a refused check left the folder locked");
        probe.Release();

        // A selection that fits goes ahead.
        z.w->TVFiles->ToggleNode(z.Node(1));
        z.w->TVFiles->ToggleNode(z.Node(2));
        z.Next();
        QCOMPARE(z.Page(), int(TFMain::PageProgress));
        QTRY_COMPARE_WITH_TIMEOUT(z.Page(), int(TFMain::PageDone), 30000);
        QVERIFY(FileExists(fs.Dir + "/small.bin"));
    }

    void readOnlyFileSystemIsRefused()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a tmpfs needs root");
        TWizard z("0F00Mods\r\n\t2F00small.7z\r\n");
        z.folder.MakeArchive("Mods/small.7z", {QStringLiteral("small.bin=tiny")});
        TTmpfs fs(z.folder.Root + "/rofs", "size=1m");
        if (!fs.Mounted || ::mount("tmpfs", fs.Dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") != 0)
            QSKIP("a read-only tmpfs cannot be mounted here");
        z.Show();
        z.ToPathPage(fs.Dir);
        z.Next();
        QCOMPARE(z.Page(), int(TFMain::PagePath));
        QCOMPARE(z.messages.Texts, QStringList{ExtraText(etReadOnlyTarget).arg(QString::fromStdString(fs.Dir))});
    }

    void runningGameIsAskedAbout()
    {
        TWizard z("0F00Mods\r\n\t2F00a.7z\r\n");
        z.folder.MakeArchive("Mods/a.7z", {QStringLiteral("a.txt=alpha")});
        const std::string game = z.folder.Root + "/Games/World_of_Tanks/";
        const std::string target = game + "res_mods/1.2.0/";
        ForceDirectories(target);
        WriteBytes(game + "WorldOfTanks.exe", "MZ");
        TFakeProcess client("/bin/sleep", "C:\\Games\\World_of_Tanks\\WorldOfTanks.exe");
        QVERIFY(client.Pid > 0);

        QStringList asked;
        TMsgResult answer = TMsgResult::Cancel;
        SetMessageBoxHandler([&](const QString& text, TMsgButtons buttons) {
            asked << text;
            if (buttons != TMsgButtons::RetryCancelIgnore)
                return TMsgResult::Ok;
            if (answer == TMsgResult::Retry && asked.size() >= 2)
                client.Stop();  // closed by the player before the second Retry
            return answer;
        });
        z.Show();
        z.ToPathPage(target);

        z.Next();
        QCOMPARE(z.Page(), int(TFMain::PagePath));
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains(QStringLiteral("WorldOfTanks.exe")), qPrintable(asked[0]));
        QVERIFY(asked[0].contains(QString::number(client.Pid)));
        QVERIFY(!FileExists(target + "a.txt"));
        TFolderLock probe;
        QVERIFY2(probe.TryAcquire(target), "a cancelled question left the folder locked");
        probe.Release();

        // Retry asks again while it runs and goes on once it is closed.
        asked.clear();
        answer = TMsgResult::Retry;
        z.Next();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(z.Page(), int(TFMain::PageProgress));
        QTRY_COMPARE_WITH_TIMEOUT(z.Page(), int(TFMain::PageDone), 30000);
        QVERIFY(FileExists(target + "a.txt"));
        SetMessageBoxHandler({});
    }

    void previewShowsBesideArchivesThatHaveOne_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("en") << QStringLiteral("en");
        QTest::newRow("ru") << QStringLiteral("ru");
    }

    void previewShowsBesideArchivesThatHaveOne()
    {
        QFETCH(QString, lang);
        TWizard z("0F00Mods\r\n\t2F00a.7z\r\n\t1F00b.7z\r\n\t1F00c.7z\r\n\t1F00d.7z\r\n", lang == QStringLiteral("en") ? "en_US.UTF-8" : "ru_RU.UTF-8");
        for (const char* name : {"a", "b", "c", "d"})
            z.folder.MakeArchive(std::string("Mods/") + name + ".7z", {QStringLiteral("x.txt=x")});
        QImage picture(960, 480, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(QString::fromStdString(z.folder.Program + "Mods/a.PNG")));
        // Windows-1251, as packs made on Windows write it.
        z.folder.WriteFile("Mods/a.txt", "\xcf\xf0\xe8\xf6\xe5\xeb \xe7\xe5\xeb\xe5\xed\xfb\xe9");
        // c: a picture that is none and a description of 50 MB.
        z.folder.WriteFile("Mods/c.png", "not a picture at all");
        {
            std::ofstream big(z.folder.Program + "Mods/c.txt", std::ios::binary);
            big << "Long story. ";
            big.seekp(50 << 20);
            big << "end";
        }
        // d: a picture whose decoded size would be 20000 x 20000.
        WriteBytes(z.folder.Program + "Mods/d.png", PngClaiming(20000, 20000));

        z.Show();
        z.Next();
        TModPreview* preview = z.w->Preview;
        auto hover = [&](int i) {
            const QRect r = z.w->TVFiles->TextRect(z.Node(i));
            QTest::mouseMove(z.w->TVFiles->viewport(), r.center());
            QCoreApplication::processEvents();
        };

        hover(1);
        QVERIFY(preview->isVisible());
        const QPixmap shown = preview->Picture->pixmap();
        QVERIFY(!shown.isNull());
        QVERIFY(shown.width() <= TModPreview::MaxWidth && shown.height() <= TModPreview::MaxHeight);
        QCOMPARE(shown.width(), 2 * shown.height());
        QCOMPARE(preview->Description->text(), QString::fromUtf8("Прицел зеленый"));
        QVERIFY(z.w->TSFiles->rect().contains(preview->geometry()));
        SaveScreenshot(z.w.get(), QStringLiteral("files-preview-") + lang);

        hover(2);
        QVERIFY(!preview->isVisible());

        hover(3);
        QVERIFY(preview->isVisible());
        QVERIFY(!preview->Picture->isVisible());
        QVERIFY(preview->Description->text().startsWith(QStringLiteral("Long story.")));
        QVERIFY(preview->Description->text().endsWith(QChar(0x2026)));

        hover(4);
        QVERIFY(!preview->isVisible());

        // The selected item shows when the mouse is elsewhere.
        QTest::mouseMove(z.w->BNext);
        z.w->TVFiles->setFocus();
        z.w->TVFiles->SetSelected(z.Node(1));
        QCoreApplication::processEvents();
        QVERIFY(preview->isVisible());
        QVERIFY(z.messages.Texts.isEmpty());
    }
};

QTEST_MAIN(TestPrecheck)
#include "test_precheck.moc"
