// The whole update with real builds as processes: build 40 in a program folder of its own
// finds build 41 on the server, swaps itself out and starts it; build 41 removes it.
#include "TScriptedServer.h"
#include "UpdateFixture.h"

#include "shell/LangTexts.h"
#include "game/FileVersion.h"
#include "platform/TFilePermissions.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <signal.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {
class UpdateEndToEnd : public UpdateFixture {
protected:
    std::string Log() const { return ReadFile(Root + "/log"); }
    bool Logged(const std::string& line) const { return ("\n" + Log()).find("\n" + line) != std::string::npos; }

    // Prepares a start of the program folder's files: command is the program (by its path)
    // or a tracer followed by it. press: answer the notice Yes as soon as it is offered.
    void Prepare(QProcess& p, const QStringList& command, bool press, const std::string& host = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LANG", "en_US.UTF-8");
        env.insert("TMPDIR", QString::fromStdString(Tmp));
        env.insert("SETUP_TEST_UPDATE_HOST", QString::fromStdString(host.empty() ? Host() : host));
        env.insert("SETUP_TEST_LOG", QString::fromStdString(Root + "/log"));
        if (press)
            env.insert("SETUP_TEST_PRESS_UPDATE", "1");
        env.insert("SETUP_TEST_QUIT_AFTER_CHECK", "1");
        env.insert("SETUP_TEST_QUIT_AFTER_MS", "30000");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(Prog));
        // The new build inherits these; a pipe closed with the old one would kill it.
        p.setStandardOutputFile(QString::fromStdString(Root + "/stdout"), QIODevice::Append);
        p.setStandardErrorFile(QString::fromStdString(Root + "/stderr"), QIODevice::Append);
        p.setProgram(command.front());
        p.setArguments(command.mid(1));
    }

    // Runs command in the program folder to its end; false when it was killed.
    bool Start(const QStringList& command, bool press)
    {
        QProcess p;
        Prepare(p, command, press);
        p.start();
        EXPECT_TRUE(p.waitForFinished(40000)) << Log();
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    // Starts the old build in the program folder and waits for it to end.
    void RunOld(const std::string& oldBuild)
    {
        InstallBuild(oldBuild);
        EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup")}, true)) << Log();
    }

    // No process but this one works in the program folder: every build started, by the
    // test or by another build, has ended.
    bool Settled() const
    {
        const std::string prog = fs::canonical(Prog).string();
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string pid = entry.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(getpid()))
                continue;
            std::error_code error;
            if (fs::read_symlink(entry.path() / "cwd", error).string() == prog)
                return false;
        }
        return true;
    }

    void Run(const std::string& oldBuild)
    {
        RunOld(oldBuild);
        // The new build writes its own lines; it ends itself once its check is done.
        ASSERT_TRUE(WaitFor([&] { return Logged("quit 41"); }, 30000)) << Log();
    }

    void ExpectSwapped()
    {
        EXPECT_TRUE(Logged("start 40")) << Log();
        EXPECT_TRUE(Logged("press 40")) << Log();
        EXPECT_TRUE(Logged("quit 40")) << Log();
        EXPECT_TRUE(Logged("start 41")) << Log();
        EXPECT_TRUE(Logged("checked 41")) << Log();  // 41 is not newer than itself
        EXPECT_EQ(Log().find("message"), std::string::npos) << Log();
        EXPECT_EQ(GetFileBuild(Prog + "Setup"), 41);
        EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
        EXPECT_TRUE(WaitFor([&] { return !Exists(Prog + "Setup.oldupdate"); }, 10000));
        // The clean-up script of the new build: one line, no line end, in a GUID folder.
        int scripts = 0;
        for (const auto& dir : fs::directory_iterator(Tmp)) {
            EXPECT_FALSE(Exists(dir.path().string() + "/Setup.7z")) << "package left";
            const std::string bat = dir.path().string() + "/DelOldUpdate.bat";
            if (!Exists(bat))
                continue;
            ++scripts;
            EXPECT_EQ(dir.path().filename().string().size(), 38u);
            const std::string line = ReadFile(bat);
            EXPECT_EQ(line.find('\n'), std::string::npos);
            EXPECT_NE(line.find("Setup.oldupdate"), std::string::npos);
        }
        EXPECT_EQ(scripts, 1);
    }
};
}

TEST_F(UpdateEndToEnd, SwapsInTheNewBuild)
{
    Publish(Bin("SetupBuild41"), "Build 41 is out.\n", "");
    Run("SetupBuild40");
    ExpectSwapped();
}

TEST_F(UpdateEndToEnd, SwapsInASignedBuildWithAKeyBuiltIn)
{
    Publish(Bin("SetupBuild41"), "Build 41 is out.\n", "");
    Run("SetupBuild40Key");
    ExpectSwapped();
}

TEST_F(UpdateEndToEnd, KeyBuiltInRefusesAnUnsignedServer)
{
    Publish(Bin("SetupBuild41"), "Build 41 is out.\n", "");
    const std::string upd = ReadFile(Pub() + "Build.upd");
    WriteFile(Pub() + "Build.upd", upd.substr(0, upd.rfind('\n', upd.size() - 2) + 1));  // signature dropped
    RunOld("SetupBuild40Key");
    EXPECT_TRUE(Logged("checked 40")) << Log();
    EXPECT_FALSE(Logged("press 40")) << Log();
    EXPECT_EQ(GetFileBuild(Prog + "Setup"), 40);
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
}

namespace {
class UpdateKilled : public UpdateEndToEnd {
protected:
    // Runs build 40 under strace, killed at the when-th call of the kind given (none: no
    // kill), from a folder that holds Setup and, on the start-up path, build 41 pending.
    // Returns the trace: the main thread's renames and links.
    std::string RunTraced(bool startUp, const std::string& call, int when)
    {
        EXPECT_TRUE(WaitFor([&] { return Settled(); }, 30000)) << Log();
        for (const auto& entry : fs::directory_iterator(Prog))
            fs::remove_all(entry.path());
        InstallBuild("SetupBuild40");
        if (startUp)
            fs::copy_file(Bin("SetupBuild41"), Prog + "Setup.newupdate");
        WriteFile(Root + "/log", "");
        QStringList command{"strace", "-o", QString::fromStdString(Root + "/trace"), "-e",
                            "trace=rename,renameat,renameat2,link,linkat"};
        if (!call.empty())
            command << "-e" << QString::fromStdString("inject=" + call + ":signal=SIGKILL:when=" + std::to_string(when));
        Start(command << QString::fromStdString(Prog + "Setup"), !startUp);
        EXPECT_TRUE(WaitFor([&] { return Settled(); }, 30000)) << Log();
        return ReadFile(Root + "/trace");
    }

    // Kills the run at each rename and link in turn. Each time a runnable Setup is there,
    // and the next start finishes the update, or leaves build 40 with nothing pending.
    // Returns the states the kills left.
    std::set<std::string> KillAtEachCall(bool startUp)
    {
        std::map<std::string, int> counts;
        std::istringstream trace(RunTraced(startUp, {}, 0));
        for (std::string line; std::getline(trace, line);)
            if (line.find('(') != std::string::npos && line[0] != '-' && line[0] != '+')
                ++counts[line.substr(0, line.find('('))];
        std::set<std::string> seen;
        for (const auto& [call, count] : counts) {
            for (int when = 1; when <= count; ++when) {
                const std::string at = call + " #" + std::to_string(when);
                if (RunTraced(startUp, call, when).find("killed by SIGKILL") == std::string::npos)
                    continue;
                EXPECT_TRUE(TFilePermissions::IsExecutable(Prog + "Setup")) << at;
                const int build = GetFileBuild(Prog + "Setup");
                const bool pending = Exists(Prog + "Setup.newupdate");
                const bool linked = Exists(Prog + "Setup.oldupdate") && fs::equivalent(Prog + "Setup", Prog + "Setup.oldupdate");
                seen.insert(build == 41 ? "swapped" : !pending ? "nothing yet" : linked ? "old build linked" : "pending");
                EXPECT_TRUE(build == 40 || build == 41) << at;

                EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup")}, false)) << at << Log();
                EXPECT_TRUE(WaitFor([&] { return Settled(); }, 30000)) << at << Log();
                EXPECT_EQ(Log().find("message"), std::string::npos) << at << Log();
                EXPECT_EQ(GetFileBuild(Prog + "Setup"), build == 40 && !pending ? 40 : 41) << at;
                EXPECT_TRUE(WaitFor([&] { return !Exists(Prog + "Setup.oldupdate"); }, 10000)) << at;
                EXPECT_FALSE(Exists(Prog + "Setup.newupdate")) << at;
                EXPECT_FALSE(Exists(Prog + ".Setup.newupdate.part")) << at;
            }
        }
        return seen;
    }
};
}

TEST_F(UpdateKilled, AtEachStepOfTheSwapAProgramStartsAndTheNextStartFinishes)
{
    if (Shell("strace -o /dev/null true") != 0)
        GTEST_SKIP() << "strace cannot trace here";
    Publish(Bin("SetupBuild41"), "Build 41 is out.\n", "");
    // Kills before the new build was placed, after, and between the link and the rename.
    EXPECT_EQ(KillAtEachCall(false), (std::set<std::string>{"nothing yet", "pending", "old build linked"}));
    EXPECT_EQ(KillAtEachCall(true), (std::set<std::string>{"pending", "old build linked"}));
}

TEST_F(UpdateEndToEnd, RunKilledDuringTheDownloadLeavesNoPackage)
{
    InstallBuild("SetupBuild40");
    std::atomic<int> requests{0};
    TScriptedServer server([&](int, const std::string& r) {
        ++requests;
        return Trickle(r, 1, 1 << 20);
    });
    QProcess p;
    Prepare(p, {QString::fromStdString(Prog + "Setup")}, true, "127.0.0.1:" + std::to_string(server.Port()));
    p.start();
    ASSERT_TRUE(WaitFor([&] { return requests == 3; }, 20000)) << Log();
    QTest::qWait(1000);  // a byte a millisecond: part of the package has come
    p.kill();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << "the download had ended before the kill";
    for (int start = 0; start < 2; ++start) {
        // In the runs' working folders (named by a GUID) only what start-up stages.
        for (const auto& entry : fs::recursive_directory_iterator(Tmp)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && fs::relative(entry.path(), Tmp).string().front() == '{') {
                EXPECT_TRUE(name == "Setup.conf" || name == "Setup.dll") << entry.path();
            }
        }
        for (const auto& entry : fs::directory_iterator(Prog))
            EXPECT_EQ(entry.path().filename(), "Setup");
        // The next start finds nothing to install or clean up.
        if (start == 0) {
            EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup")}, false)) << Log();
        }
    }
    EXPECT_EQ(Log().find("message"), std::string::npos) << Log();
}

TEST_F(UpdateEndToEnd, BuildStartedUnderTheOldNamePutsSetupBack)
{
    // What a kill between the two renames of earlier versions left: no Setup at all.
    InstallBuild("SetupBuild40");
    fs::rename(Prog + "Setup", Prog + "Setup.oldupdate");
    Publish(Bin("SetupBuild41"), "Build 41 is out.\n", "");
    EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup.oldupdate")}, false)) << Log();
    EXPECT_TRUE(Logged("message 40 The failed to upgrade the program. Unavailable target directory.")) << Log();
    EXPECT_TRUE(Logged("checked 40")) << "it went on as the program";
    EXPECT_EQ(GetFileBuild(Prog + "Setup"), 40);
    EXPECT_FALSE(Exists(Prog + "Setup.oldupdate"));
}

TEST_F(UpdateEndToEnd, StartUpSwapQuitsWithoutClosingTheWindow)
{
    // A swap left pending: build 40 completes it at start and quits at once. Only closing
    // the window deletes staged files, so its copies stay; so do build 41's, ended by the
    // test's timer without a close.
    InstallBuild("SetupBuild40");
    fs::copy_file(Bin("SetupBuild41"), Prog + "Setup.newupdate");
    QProcess p;
    Prepare(p, {QString::fromStdString(Prog + "Setup")}, false);
    QProcessEnvironment env = p.processEnvironment();
    env.remove("SETUP_TEST_QUIT_AFTER_CHECK");
    env.insert("SETUP_TEST_QUIT_AFTER_MS", "1500");
    p.setProcessEnvironment(env);
    p.start();
    ASSERT_TRUE(p.waitForFinished(40000));
    ASSERT_TRUE(WaitFor([&] { return Logged("timeout 41") && Settled(); }, 30000)) << Log();
    EXPECT_TRUE(Logged("quit 40") && !Logged("timeout 40")) << Log();
    int left = 0;
    for (const auto& dir : fs::directory_iterator(Tmp))
        left += Exists(dir.path().string() + "/Setup.dll") && Exists(dir.path().string() + "/Setup.conf");
    EXPECT_EQ(left, 2);
}

TEST_F(UpdateEndToEnd, NewBuildThatDiesRightAfterItStartsIsPutAsideAndTheOldOneGoesOn)
{
    const std::string crash = Root + "/crash.sh";
    WriteFile(crash, "#!/bin/sh\nkill -SEGV $$\n");
    Publish(crash, "Build 41 is out.\n", "1.1.4.41");
    RunOld("SetupBuild40");
    // The old build saw it die, put itself back and said so, from its own window.
    EXPECT_TRUE(Logged("message 40 " + std::string(LangTexts[ltUpdateFailed][1]))) << Log();
    EXPECT_EQ(GetFileBuild(Prog + "Setup"), 40);
    EXPECT_TRUE(TFilePermissions::IsExecutable(Prog + "Setup"));
    EXPECT_EQ(ReadFile(Prog + "Setup.newupdate.failed"), ReadFile(crash));
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
    EXPECT_FALSE(Exists(Prog + "Setup.oldupdate"));
    // A later start of the old build does not start the failed one.
    WriteFile(Root + "/log", "");
    EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup")}, false)) << Log();
    EXPECT_EQ(Log().find("message"), std::string::npos) << Log();
    EXPECT_EQ(GetFileBuild(Prog + "Setup"), 40);
}
