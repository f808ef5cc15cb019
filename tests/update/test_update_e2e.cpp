// The whole update with real builds as processes: build 40 in a program folder of its own
// finds build 41 on the server, swaps itself out and starts it; build 41 removes it.
#include "TScriptedServer.h"
#include "UpdateFixture.h"

#include "game/FileVersion.h"

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
// The renames and links of the swap, each killed in turn by the tracer.
const char* const SwapCalls[] = {"rename", "renameat", "renameat2", "link", "linkat"};

class UpdateKilled : public UpdateEndToEnd {
protected:
    enum class TPath { Download, StartUp };

    // The program folder as each run finds it: build 40 as Setup, and on the start-up path
    // build 41 pending as an unpacked file would be.
    void Lay(TPath path)
    {
        EXPECT_TRUE(WaitFor([&] { return Settled(); }, 30000)) << Log();
        for (const auto& entry : fs::directory_iterator(Prog))
            fs::remove_all(entry.path());
        InstallBuild("SetupBuild40");
        if (path == TPath::StartUp) {
            fs::copy_file(Bin("SetupBuild41"), Prog + "Setup.newupdate");
            fs::permissions(Prog + "Setup.newupdate", fs::perms(0644));
        }
        WriteFile(Root + "/log", "");
    }

    QStringList Traced(const std::string& inject) const
    {
        QStringList command{"strace", "-o", QString::fromStdString(Root + "/trace"), "-e",
                            "trace=rename,renameat,renameat2,link,linkat"};
        if (!inject.empty())
            command << "-e" << QString::fromStdString(inject);
        return command << QString::fromStdString(Prog + "Setup");
    }

    // How often the program's main thread makes each of the calls on this path.
    std::map<std::string, int> CountCalls(TPath path)
    {
        Lay(path);
        std::map<std::string, int> counts;
        if (!Start(Traced({}), path == TPath::Download))
            return counts;
        EXPECT_TRUE(WaitFor([&] { return Settled(); }, 30000)) << Log();
        std::istringstream trace(ReadFile(Root + "/trace"));
        for (std::string line; std::getline(trace, line);)
            for (const char* call : SwapCalls)
                if (line.rfind(std::string(call) + "(", 0) == 0)
                    ++counts[call];
        return counts;
    }

    // What the folder looks like right after a kill; a startable Setup is always there.
    std::string Snapshot()
    {
        EXPECT_TRUE(Exists(Prog + "Setup"));
        EXPECT_TRUE(fs::status(Prog + "Setup").permissions() == fs::perms(0755) ||
                    (fs::status(Prog + "Setup").permissions() & fs::perms::owner_exec) != fs::perms::none);
        const int build = GetFileBuild(Prog + "Setup");
        EXPECT_TRUE(build == 40 || build == 41) << build;
        const bool pending = Exists(Prog + "Setup.newupdate");
        const bool link = Exists(Prog + "Setup.oldupdate") && fs::equivalent(Prog + "Setup", Prog + "Setup.oldupdate");
        if (build == 41)
            return "swapped";
        return pending ? (link ? "pending, old build linked" : "pending") : "nothing yet";
    }

    // Kills the run at each of the calls in turn, then starts the program once more, which
    // must finish the update or leave build 40 with nothing pending.
    std::set<std::string> KillAtEachCall(TPath path)
    {
        std::set<std::string> seen;
        const std::map<std::string, int> counts = CountCalls(path);
        if (counts.empty())
            return seen;
        for (const auto& [call, count] : counts) {
            for (int when = 1; when <= count; ++when) {
                const std::string at = call + " #" + std::to_string(when);
                Lay(path);
                Start(Traced("inject=" + call + ":signal=SIGKILL:when=" + std::to_string(when)),
                      path == TPath::Download);
                const bool killed = ReadFile(Root + "/trace").find("+++ killed by SIGKILL +++") != std::string::npos;
                EXPECT_TRUE(WaitFor([&] { return Settled(); }, 30000)) << at << Log();
                if (!killed)
                    continue;  // a call of another thread's count; nothing to see
                const std::string state = Snapshot();
                seen.insert(state);

                EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup")}, false)) << at << Log();
                EXPECT_TRUE(WaitFor([&] { return Settled(); }, 30000)) << at << Log();
                EXPECT_EQ(Log().find("message"), std::string::npos) << at << Log();
                const int expected = state == "nothing yet" ? 40 : 41;
                EXPECT_EQ(GetFileBuild(Prog + "Setup"), expected) << at << " " << state;
                EXPECT_FALSE(Exists(Prog + "Setup.newupdate")) << at;
                EXPECT_FALSE(Exists(Prog + ".Setup.newupdate.part")) << at;
                if (expected == 41)
                    EXPECT_TRUE(WaitFor([&] { return !Exists(Prog + "Setup.oldupdate"); }, 10000)) << at;
                else
                    EXPECT_FALSE(Exists(Prog + "Setup.oldupdate")) << at;
            }
        }
        return seen;
    }

    bool HaveStrace()
    {
        return Shell("strace -o /dev/null -e trace=rename true >/dev/null 2>&1") == 0;
    }
};
}

TEST_F(UpdateKilled, AtEachStepOfTheSwapAProgramStartsAndTheNextStartFinishes)
{
    if (!HaveStrace())
        GTEST_SKIP() << "strace cannot trace here";
    Publish(Bin("SetupBuild41"), "Build 41 is out.\n", "");
    const std::set<std::string> download = KillAtEachCall(TPath::Download);
    // The kills landed before the new build was placed, after it was, and between the link
    // and the rename over Setup.
    EXPECT_TRUE(download.count("nothing yet")) << "no kill before the new build was placed";
    EXPECT_TRUE(download.count("pending"));
    EXPECT_TRUE(download.count("pending, old build linked"));
    const std::set<std::string> startUp = KillAtEachCall(TPath::StartUp);
    EXPECT_TRUE(startUp.count("pending"));
    EXPECT_TRUE(startUp.count("pending, old build linked"));
}

TEST_F(UpdateEndToEnd, RunKilledDuringTheDownloadLeavesNoPackage)
{
    InstallBuild("SetupBuild40");
    std::atomic<bool> packageAsked{false};
    TScriptedServer server([&](int, const std::string& request) {
        auto ok = [](const std::string& body) {
            return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        };
        TScriptedServer::Reply reply;
        reply.Close = false;
        if (request.find("/pub/OVK/Build.upd") != std::string::npos) {
            reply.Bytes = ok("41\n1.1.4.41\n");
        } else if (request.find("/pub/OVK/UpdateInfo.txt") != std::string::npos) {
            reply.Bytes = ok("notice");
        } else {
            // One byte a millisecond: part of it is written when the kill comes.
            packageAsked = true;
            reply.Bytes = ok(std::string(1 << 20, 'p'));
            reply.TrickleMs = 1;
            reply.Close = true;
        }
        return reply;
    });
    QProcess p;
    Prepare(p, {QString::fromStdString(Prog + "Setup")}, true, "127.0.0.1:" + std::to_string(server.Port()));
    p.start();
    ASSERT_TRUE(WaitFor([&] { return packageAsked.load(); }, 20000)) << Log();
    QTest::qWait(1500);
    p.kill();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << "the download had ended before the kill";

    auto nothingLeft = [&] {
        for (const auto& entry : fs::recursive_directory_iterator(Tmp)) {
            const std::string name = entry.path().filename().string();
            // Only the runs' working folders, named by a GUID; the test's server lives here too.
            const std::string top = fs::relative(entry.path(), Tmp).begin()->string();
            if (entry.is_regular_file() && top.front() == '{')
                EXPECT_TRUE(name == "Setup.conf" || name == "Setup.dll" || name == "DelOldUpdate.bat")
                    << entry.path();
        }
        for (const auto& entry : fs::directory_iterator(Prog))
            EXPECT_EQ(entry.path().filename(), "Setup");
    };
    nothingLeft();
    // The next start finds nothing to install or clean up.
    EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup")}, false)) << Log();
    EXPECT_EQ(Log().find("message"), std::string::npos) << Log();
    nothingLeft();
}

TEST_F(UpdateEndToEnd, BuildStartedUnderTheOldNamePutsSetupBack)
{
    // What a kill between the two renames of earlier versions left: no Setup at all.
    InstallBuild("SetupBuild40");
    fs::rename(Prog + "Setup", Prog + "Setup.oldupdate");
    fs::copy_file(Bin("SetupBuild41"), Prog + "Setup.newupdate");
    Publish(Bin("SetupBuild41"), "Build 41 is out.\n", "");

    EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup.oldupdate")}, false)) << Log();
    EXPECT_TRUE(Logged("message 40 The failed to upgrade the program. Unavailable target directory.")) << Log();
    EXPECT_TRUE(Logged("checked 40")) << "it went on and ran as the program";
    EXPECT_EQ(GetFileBuild(Prog + "Setup"), 40);
    EXPECT_FALSE(Exists(Prog + "Setup.oldupdate"));
    // The pending build is installed by the next start of Setup.
    EXPECT_TRUE(Start({QString::fromStdString(Prog + "Setup")}, false)) << Log();
    ASSERT_TRUE(WaitFor([&] { return Logged("quit 41"); }, 30000)) << Log();
    EXPECT_EQ(GetFileBuild(Prog + "Setup"), 41);
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
}
