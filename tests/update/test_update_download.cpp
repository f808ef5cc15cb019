// The "Upgrade Setup..." button's failures, and the two start-up steps that finish an update.
#include "UpdateFixture.h"

#include "shell/ExtraTexts.h"
#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/TFilePermissions.h"
#include "platform/TFolderLock.h"
#include "update/SelfUpdateHooks.h"
#include "update/TSelfUpdate.h"
#include "update/TUpdateServer.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class UpdateDownload : public UpdateFixture {
protected:
    // Opens the window, waits for the button and answers the notice Yes by its button.
    void PressUpdate(const std::function<void()>& beforeClick = {})
    {
        OpenWindow();
        WaitCheck();
        ASSERT_TRUE(Main->BUpdate->isVisible());
        if (beforeClick)
            beforeClick();
        SetModalHandler([](QDialog* d) {
            auto* notice = static_cast<TfUpdMess*>(d);
            notice->show();
            notice->bYes->click();
            return notice->result();
        });
        Main->BUpdate->click();
    }
    QString Row(TLangText row) const { return QString::fromUtf8(LangText(row)); }
    // Any package left in the folder it is saved to, or beside the program.
    bool PackageLeft() const
    {
        return Exists(PackagePath) || Exists(Prog + "Setup.7z") || Exists(WorkFolder + "/Setup.7z");
    }
};

std::string Make7z(const std::string& folder, const std::string& item, const std::string& content)
{
    const std::string dir = folder + "/pkgsrc";
    fs::create_directories(dir);
    std::ofstream(dir + "/" + item, std::ios::binary) << content;
    const std::string archive = folder + "/made.7z";
    fs::remove(archive);
    const int rc = std::system(("cd " + UpdateFixture::Quote(dir) + " && 7z a -t7z -bd -y " +
                                UpdateFixture::Quote(archive) + " " + UpdateFixture::Quote(item) + " >/dev/null")
                                   .c_str());
    EXPECT_EQ(rc, 0);
    fs::remove_all(dir);
    return archive;
}
}

TEST_F(UpdateDownload, PackageWithoutNewBuildKeepsTheProgram)
{
    InstallBuild("SetupBuild40");
    const std::string before = Sha256(Prog + "Setup");
    const std::string pkg = Make7z(Root, "readme.txt", "extra file");
    fs::copy_file(pkg, Pub() + "Setup.7z");
    WriteFile(Pub() + "Build.upd", "41\n1.1.4.41\n" + Sha256(pkg) + "\n");
    WriteFile(Pub() + "UpdateInfo.txt", "notice");
    PressUpdate();
    EXPECT_EQ(Messages, QStringList{Row(ltUpdateFailed)});
    EXPECT_EQ(Sha256(Prog + "Setup"), before);
    EXPECT_FALSE(Exists(Prog + "Setup.oldupdate"));
    // A refused package applies nothing, not even its other items.
    EXPECT_FALSE(Exists(Prog + "readme.txt"));
    EXPECT_FALSE(Exists(Prog + ".Setup.newupdate.part"));
    EXPECT_EQ(PackagePath, ExtractFilePath(LibPath) + "Setup.7z");
    EXPECT_FALSE(PackageLeft());
    EXPECT_TRUE(Main->isVisible());
}

TEST_F(UpdateDownload, EarlierOldBuildBlocksTheSwapUntilALaterStart)
{
    InstallBuild("SetupBuild40");
    const std::string marker = Root + "/started";
    Publish(MarkerScript(marker), "notice", "1.1.4.41");
    // Left by an earlier update after this start's clean-up had looked.
    PressUpdate([&] { WriteFile(Prog + "Setup.oldupdate", "an earlier build"); });
    EXPECT_EQ(Messages, QStringList{Row(ltUpdateFailed)});
    EXPECT_TRUE(Exists(Prog + "Setup.newupdate"));
    EXPECT_EQ(ReadFile(Prog + "Setup.oldupdate"), "an earlier build");
    EXPECT_TRUE(TFilePermissions::IsExecutable(Prog + "Setup"));
    EXPECT_FALSE(PackageLeft());

    // A later start, once the old file is gone, swaps and starts the new build.
    fs::remove(Prog + "Setup.oldupdate");
    Messages.clear();
    EXPECT_TRUE(CompletePendingUpdate("Setup"));
    EXPECT_TRUE(Messages.isEmpty());
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
    EXPECT_TRUE(Exists(Prog + "Setup.oldupdate"));
    EXPECT_TRUE(TFilePermissions::IsExecutable(Prog + "Setup"));
    EXPECT_TRUE(WaitFor([&] { return Exists(marker); }, 5000)) << "the new build did not run";
}

TEST_F(UpdateDownload, TamperedPackageIsNeverSavedOrUnpacked)
{
    InstallBuild("SetupBuild40");
    for (bool key : {true, false}) {
        TUpdateServer::SetPublicKeyOverride(key ? SETUP_TEST_PUBLIC_KEY : "-");
        Publish(Bin("SetupBuild41"), "notice", "");
        WriteFile(Pub() + "Setup.7z", ReadFile(Pub() + "Setup.7z") + "x");
        Messages.clear();
        PressUpdate();
        EXPECT_EQ(Messages, QStringList{Row(ltUpdateFailed)}) << key;
        EXPECT_FALSE(Exists(Prog + "Setup.newupdate")) << key;
        EXPECT_FALSE(Exists(Prog + "Setup.oldupdate")) << key;
        EXPECT_EQ(PackagePath, "Setup.7z") << "the package was saved";
        EXPECT_FALSE(PackageLeft());
        EXPECT_EQ(Sha256(Prog + "Setup"), Sha256(Bin("SetupBuild40")));
        CloseWindows();
    }
}

TEST_F(UpdateDownload, MissingOrUnusablePackageFails)
{
    InstallBuild("SetupBuild40");
    WriteFile(Pub() + "UpdateInfo.txt", "notice");
    // An old-style two-line notice: no digest to hold the package to.
    WriteFile(Pub() + "Build.upd", "41\n1.1.4.41\n");
    for (const char* body : {static_cast<const char*>(nullptr), "", "this is not an archive"}) {
        fs::remove(Pub() + "Setup.7z");
        if (body)
            WriteFile(Pub() + "Setup.7z", body);
        Messages.clear();
        PressUpdate();
        EXPECT_EQ(Messages, QStringList{Row(ltUpdateFailed)}) << (body ? body : "404");
        EXPECT_FALSE(PackageLeft());
        EXPECT_FALSE(Exists(Prog + "Setup.oldupdate"));
        EXPECT_TRUE(Exists(Prog + "Setup"));
        CloseWindows();
    }
}

TEST_F(UpdateDownload, StartRemovesTheOldBuildThroughTheCleanUpScript)
{
    InstallBuild("SetupBuild40");
    WriteFile(Prog + "Setup.oldupdate", "old build");
    WriteFile(Pub() + "Build.upd", "40\n1.1.4.40\n");
    OpenWindow();
    WaitCheck();
    EXPECT_EQ(BatPath, WorkFolder + "/DelOldUpdate.bat");
    EXPECT_EQ(ExtractFilePath(WorkFolder), Tmp + "/");
    const std::string script = ReadFile(BatPath);
    EXPECT_EQ(script, "rm -f -- '" + Root + "/prog it'\\''s/Setup.oldupdate'");
    EXPECT_TRUE(WaitFor([&] { return !Exists(Prog + "Setup.oldupdate"); }, 5000));
    EXPECT_TRUE(Exists(Prog + "Setup"));
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(UpdateDownload, PendingSwapAtStart)
{
    InstallBuild("SetupBuild40");
    const std::string marker = Root + "/started";
    fs::copy_file(MarkerScript(marker), Prog + "Setup.newupdate");  // no execute bits, as unpacked

    // The first rename is refused while an old build is left: the swap-failed text, nothing moved.
    WriteFile(Prog + "Setup.oldupdate", "old build");
    EXPECT_FALSE(CompletePendingUpdate("Setup"));
    EXPECT_EQ(Messages, QStringList{Row(ltSwapFailed)});
    EXPECT_EQ(ReadFile(Prog + "Setup.oldupdate"), "old build");
    EXPECT_TRUE(Exists(Prog + "Setup.newupdate"));
    EXPECT_EQ(Sha256(Prog + "Setup"), Sha256(Bin("SetupBuild40")));

    // Without it: swapped, runnable, started by its path in the current folder.
    fs::remove(Prog + "Setup.oldupdate");
    Messages.clear();
    EXPECT_TRUE(CompletePendingUpdate("Setup"));
    EXPECT_TRUE(Messages.isEmpty());
    EXPECT_EQ(Sha256(Prog + "Setup.oldupdate"), Sha256(Bin("SetupBuild40")));
    EXPECT_TRUE(TFilePermissions::IsExecutable(Prog + "Setup"));
    EXPECT_TRUE(WaitFor([&] { return Exists(marker); }, 5000));

    // Nothing pending: nothing happens.
    EXPECT_FALSE(CompletePendingUpdate("Setup"));
    EXPECT_TRUE(Messages.size() == 0);
}

TEST_F(UpdateDownload, CrawlingServerFailsWithinTheLimitsWhileTheWindowRepaints)
{
    InstallBuild("SetupBuild40");
    const std::string before = Sha256(Prog + "Setup");
    // A byte a second against the rate over the window; an acceptable rate against the
    // overall deadline.
    for (auto [trickleMs, limits] : {std::pair{1000, TDownloadLimits{1500, 1024, 60000}},
                                     std::pair{20, TDownloadLimits{60000, 1, 1500}}}) {
        TScriptedServer server([ms = trickleMs](int, const std::string& r) { return Trickle(r, ms, 100000); });
        TUpdateServer::SetHostOverride("127.0.0.1:" + std::to_string(server.Port()));
        TSelfUpdate::DownloadLimits = limits;
        Messages.clear();
        // While the handler runs, timers fire, the window paints and the cursor is busy.
        int paints = 0, busy = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            busy += QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            Main->repaint();
            ++paints;
        });
        QElapsedTimer took;
        PressUpdate([&] {
            timer.start(50);
            took.start();
        });
        const qint64 ms = took.elapsed();
        EXPECT_EQ(Messages, QStringList{Row(ltUpdateFailed)}) << trickleMs;
        EXPECT_GE(ms, 1400) << trickleMs;
        EXPECT_LT(ms, 5000) << trickleMs;
        EXPECT_GE(paints, 10) << trickleMs << ": the window was frozen";
        EXPECT_GE(busy, 10) << trickleMs;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << trickleMs;
        EXPECT_EQ(Sha256(Prog + "Setup"), before) << trickleMs;
        EXPECT_FALSE(Exists(Prog + "Setup.newupdate")) << trickleMs;
        CloseWindows();
    }
}

TEST_F(UpdateDownload, UnsafeItemAfterTheNewBuildLeavesNothingToInstall)
{
    InstallBuild("SetupBuild40");
    const std::string before = Sha256(Prog + "Setup");
    const std::string dir = Root + "/pkgsrc";
    fs::create_directories(dir);
    fs::copy_file(Bin("SetupBuild41"), dir + "/Setup.newupdate");
    WriteFile(dir + "/zz.txt", "outside");
    const std::string made = Root + "/made.7z";
    ASSERT_EQ(Shell("cd " + Quote(dir) + " && 7z a -t7z -bd " + Quote(made) + " Setup.newupdate zz.txt >/dev/null && 7z rn " +
                    Quote(made) + " zz.txt ../zz.txt >/dev/null"),
              0);
    fs::copy_file(made, Pub() + "Setup.7z");
    WriteFile(Pub() + "Build.upd", "41\n1.1.4.41\n" + Sha256(made) + "\n");
    WriteFile(Pub() + "UpdateInfo.txt", "notice");
    PressUpdate();
    EXPECT_EQ(Messages, QStringList{Row(ltUpdateFailed)});
    EXPECT_EQ(Sha256(Prog + "Setup"), before);
    EXPECT_FALSE(Exists(Root + "/zz.txt"));
    for (const char* left : {"Setup.newupdate", "Setup.oldupdate", ".Setup.newupdate.part"})
        EXPECT_FALSE(Exists(Prog + left)) << left;
}

TEST_F(UpdateDownload, NewBuildThatCannotStartIsPutBack)
{
    InstallBuild("SetupBuild40");
    const std::string before = Sha256(Prog + "Setup");
    TUpdateServer::SetPublicKeyOverride(SETUP_TEST_PUBLIC_KEY);
    const std::string text = Root + "/not-a-program.txt";
    WriteFile(text, "This is a text file, not a program.\n");
    Publish(text, "notice", "1.1.4.41");  // signed and announced as it should be
    PressUpdate();
    EXPECT_EQ(Messages, QStringList{Row(ltUpdateFailed)});
    EXPECT_TRUE(Main->isVisible());
    // The same build pending at a start: the swap-failed text.
    fs::copy_file(text, Prog + "Setup.newupdate");
    EXPECT_FALSE(CompletePendingUpdate("Setup"));
    EXPECT_EQ(Messages, (QStringList{Row(ltUpdateFailed), Row(ltSwapFailed)}));
    // Both times the old build is Setup again, runnable, and nothing is left pending.
    EXPECT_EQ(Sha256(Prog + "Setup"), before);
    EXPECT_TRUE(TFilePermissions::IsExecutable(Prog + "Setup"));
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
    EXPECT_FALSE(Exists(Prog + "Setup.oldupdate"));
}

TEST_F(UpdateDownload, BuildThatDiesAtAStartUpSwapIsPutAsideAndABusyFolderIsLeftAlone)
{
    InstallBuild("SetupBuild40");
    const std::string before = Sha256(Prog + "Setup");
    WriteFile(Prog + "Setup.newupdate", "#!/bin/sh\nkill -SEGV $$\n");
    // Another copy holds the program's folder: the swap is left to it, without a word.
    {
        TFolderLock other;
        ASSERT_TRUE(other.TryAcquire(Prog));
        EXPECT_FALSE(CompletePendingUpdate("Setup"));
        EXPECT_TRUE(Messages.isEmpty());
        EXPECT_TRUE(Exists(Prog + "Setup.newupdate"));
    }
    EXPECT_FALSE(CompletePendingUpdate("Setup"));
    EXPECT_EQ(Messages, QStringList{Row(ltSwapFailed)});
    EXPECT_EQ(Sha256(Prog + "Setup"), before);
    EXPECT_EQ(ReadFile(Prog + "Setup.newupdate.failed"), "#!/bin/sh\nkill -SEGV $$\n");
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
    EXPECT_FALSE(Exists(Prog + "Setup.oldupdate"));

    // The button while another copy updates here: it says which folder, and fetches nothing.
    Messages.clear();
    Publish(MarkerScript(Root + "/started"), "notice", "1.1.4.41");
    TFolderLock other;
    ASSERT_TRUE(other.TryAcquire(Prog));
    PressUpdate();
    EXPECT_EQ(Messages, QStringList{ExtraText(etFolderBusy).arg(QString::fromStdString(Prog))});
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
    EXPECT_TRUE(Main->isVisible());
}

TEST_F(UpdateDownload, WindowAnswersThroughAHangingConnectAndAFiftyMegabyteUnpack)
{
    // Event-loop latency only: the bound leaves room for a loaded machine and still sits
    // far below what a connect (up to 15 s) or an unpack on the window's thread blocks.
    constexpr qint64 StallBoundMs = 300;
    InstallBuild("SetupBuild40");
    const std::string marker = Root + "/started";
    const std::string dir = Root + "/pkgsrc";
    fs::create_directories(dir);
    fs::copy_file(MarkerScript(marker), dir + "/Setup.newupdate");
    const std::string made = Root + "/made.7z";
    ASSERT_EQ(Shell("cd " + Quote(dir) + " && head -c 50000000 /dev/urandom >data.bin && 7z a -t7z -mx0 -bd " +
                    Quote(made) + " Setup.newupdate data.bin >/dev/null"),
              0);
    fs::copy_file(made, Pub() + "Setup.7z");
    WriteFile(Pub() + "Build.upd", "41\n1.1.4.41\n" + Sha256(made) + "\n");
    WriteFile(Pub() + "UpdateInfo.txt", "notice");

    qint64 longest = 0;
    QElapsedTimer clock;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.restart());
    });
    const auto measure = [&] {
        ticks.start(10);
        clock.start();
    };
    PressUpdate(measure);
    ticks.stop();
    EXPECT_TRUE(Messages.isEmpty()) << Messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(Exists(marker));
    EXPECT_EQ(fs::file_size(Prog + "data.bin"), 50000000u);
    EXPECT_FALSE(Main->isVisible());
    EXPECT_LT(longest, StallBoundMs) << "unpack";
    CloseWindows();

    // A server whose queue is full never answers the connect; Exit is answered meanwhile.
    fs::remove(Prog + "Setup.oldupdate");
    InstallBuild("SetupBuild40");
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 0), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const int queued = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(queued, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    longest = 0;
    QElapsedTimer took;
    PressUpdate([&] {
        TUpdateServer::SetHostOverride("127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
        measure();
        took.start();
        QTimer::singleShot(1500, Main->BCancel, [this] { Main->BCancel->click(); });
    });
    ticks.stop();
    EXPECT_LT(took.elapsed(), 10000) << "Exit was not answered during the connect";
    EXPECT_FALSE(Main->isVisible());
    EXPECT_TRUE(Messages.isEmpty());
    EXPECT_LT(longest, StallBoundMs) << "connect";
    ::close(queued);
    ::close(silent);
}
