// The whole update with real builds as processes: build 40 in a program folder of its own
// finds build 41 on the server, swaps itself out and starts it; build 41 removes it.
#include "UpdateFixture.h"

#include "game/FileVersion.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <signal.h>

namespace fs = std::filesystem;

namespace {
class UpdateEndToEnd : public UpdateFixture {
protected:
    std::string Log() const { return ReadFile(Root + "/log"); }
    bool Logged(const std::string& line) const { return ("\n" + Log()).find("\n" + line) != std::string::npos; }

    // Starts the old build in the program folder and waits for it to end.
    void RunOld(const std::string& oldBuild)
    {
        InstallBuild(oldBuild);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LANG", "en_US.UTF-8");
        env.insert("TMPDIR", QString::fromStdString(Tmp));
        env.insert("SETUP_TEST_UPDATE_HOST", QString::fromStdString(Host()));
        env.insert("SETUP_TEST_LOG", QString::fromStdString(Root + "/log"));
        env.insert("SETUP_TEST_PRESS_UPDATE", "1");
        env.insert("SETUP_TEST_QUIT_AFTER_CHECK", "1");
        env.insert("SETUP_TEST_QUIT_AFTER_MS", "30000");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(Prog));
        // The new build inherits these; a pipe closed with the old one would kill it.
        p.setStandardOutputFile(QString::fromStdString(Root + "/stdout"));
        p.setStandardErrorFile(QString::fromStdString(Root + "/stderr"));
        p.start(QString::fromStdString(Prog + "Setup"), {});
        ASSERT_TRUE(p.waitForFinished(40000));
        EXPECT_EQ(p.exitCode(), 0) << Log();
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

TEST_F(UpdateEndToEnd, StartUpSwapQuitsWithoutClosingTheWindow)
{
    // A swap left pending: the old build completes it at start and quits at once; the files
    // it staged moments before stay, as only closing the window deletes them. The new build
    // is ended by the test's timer, which does not close its window either.
    InstallBuild("SetupBuild40");
    fs::copy_file(Bin("SetupBuild41"), Prog + "Setup.newupdate");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LANG", "en_US.UTF-8");
    env.insert("TMPDIR", QString::fromStdString(Tmp));
    env.insert("SETUP_TEST_UPDATE_HOST", QString::fromStdString(Host()));
    env.insert("SETUP_TEST_LOG", QString::fromStdString(Root + "/log"));
    env.insert("SETUP_TEST_QUIT_AFTER_MS", "1500");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(Prog));
    p.setStandardOutputFile(QString::fromStdString(Root + "/stdout"));
    p.setStandardErrorFile(QString::fromStdString(Root + "/stderr"));
    p.start(QString::fromStdString(Prog + "Setup"), {});
    ASSERT_TRUE(p.waitForFinished(40000));
    EXPECT_EQ(p.exitCode(), 0) << Log();
    ASSERT_TRUE(WaitFor([&] { return Logged("quit 41"); }, 30000)) << Log();
    EXPECT_TRUE(Logged("quit 40")) << Log();
    EXPECT_FALSE(Logged("timeout 40")) << Log();
    EXPECT_EQ(GetFileBuild(Prog + "Setup"), 41);

    int left = 0;
    for (const auto& dir : fs::directory_iterator(Tmp))
        if (Exists(dir.path().string() + "/Setup.dll") && Exists(dir.path().string() + "/Setup.conf"))
            ++left;
    EXPECT_EQ(left, 2);
}
