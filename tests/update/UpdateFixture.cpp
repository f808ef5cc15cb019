#include "UpdateFixture.h"

#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "update/TSelfUpdate.h"
#include "update/TThCheckUpd.h"
#include "update/TUpdateServer.h"
#include "update/TUpdateSignature.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// The temporary folder the test run was given; each test points TMPDIR below it.
const std::string& BaseTemp()
{
    static const std::string base = fs::temp_directory_path().string();
    return base;
}
}

void UpdateFixture::SetUp()
{
    std::string pattern = BaseTemp() + "/setup-update-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    Root = pattern;
    // A quote and a blank in the folder name: the clean-up line must keep them literal.
    Prog = Root + "/prog it's/";
    Tmp = Root + "/tmp";
    fs::create_directories(Prog);
    fs::create_directories(Tmp);
    setenv("TMPDIR", Tmp.c_str(), 1);
    Server = std::make_unique<TNginxServer>();
    fs::create_directories(Pub());
    FOldCwd = fs::current_path().string();
    fs::current_path(Prog);
    SetExecutablePathOverride(Prog + "Setup");
    ResetShellState();
    ResetUpdateState();
    TUpdateServer::SetHostOverride(Host());
    TUpdateServer::SetPublicKeyOverride("-");
    SetMessageBoxHandler([this](const QString& text, TMsgButtons) {
        Messages << text;
        return TMsgResult::Ok;
    });
    SetModalHandler([](QDialog*) { return int(TfUpdMess::mrNo); });
}

void UpdateFixture::CloseWindows()
{
    delete fUpdMess;
    fUpdMess = nullptr;
    delete Main;
    Main = nullptr;
}

void UpdateFixture::TearDown()
{
    // A check still under way must not meet a window that is gone.
    WaitFor([this] { return TThCheckUpd::ChecksFinished() > ChecksAtOpen || !Main; }, 40000);
    CloseWindows();
    SetMessageBoxHandler({});
    SetModalHandler({});
    TUpdateServer::SetHostOverride({});
    TUpdateServer::SetPublicKeyOverride({});
    TSelfUpdate::DownloadLimits = {};
    SetExecutablePathOverride({});
    fs::current_path(FOldCwd);
    setenv("TMPDIR", BaseTemp().c_str(), 1);
    Server.reset();
    std::error_code ignored;
    fs::remove_all(Root, ignored);
}

std::string UpdateFixture::ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void UpdateFixture::WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

bool UpdateFixture::Exists(const std::string& path)
{
    return fs::exists(fs::symlink_status(path));
}

std::string UpdateFixture::Sha256(const std::string& path)
{
    const std::string data = ReadFile(path);
    return TUpdateSignature::Sha256Hex(data.data(), data.size());
}

int UpdateFixture::Shell(const std::string& command)
{
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string UpdateFixture::Quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TScriptedServer::Reply UpdateFixture::Trickle(const std::string& request, int trickleMs, std::size_t size)
{
    auto ok = [](const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    if (request.find("/Build.upd") != std::string::npos)
        return {ok("41\n1.1.4.41\n"), false};
    if (request.find("/UpdateInfo.txt") != std::string::npos)
        return {ok("notice"), false};
    TScriptedServer::Reply reply{ok(std::string(size, 'p'))};
    reply.TrickleMs = trickleMs;
    return reply;
}

std::string UpdateFixture::Pub() const
{
    return Server->Root() + "/pub/OVK/";
}

std::string UpdateFixture::Host() const
{
    return "127.0.0.1:" + std::to_string(Server->Port());
}

void UpdateFixture::InstallBuild(const std::string& binName)
{
    fs::copy_file(Bin(binName), Prog + "Setup", fs::copy_options::overwrite_existing);
    fs::permissions(Prog + "Setup", fs::perms(0755));
}

std::string UpdateFixture::Publish(const std::string& build, const std::string& info, const std::string& version,
                            const std::string& keyPem)
{
    WriteFile(Root + "/UpdateInfo.txt", info);
    const std::string cmd = Quote(SETUP_PUBLISH_TOOL) + " --name Setup" +
                            (version.empty() ? std::string() : " --version " + version) + " " +
                            Quote(build) + " " + Quote(Root + "/UpdateInfo.txt") + " " +
                            Quote(keyPem.empty() ? std::string(SETUP_TEST_KEY_PEM) : keyPem) + " " +
                            Quote(Pub()) + " >" + Quote(Root + "/publish.out");
    EXPECT_EQ(Shell(cmd), 0) << cmd;
    return ReadFile(Root + "/publish.out");
}

std::string UpdateFixture::MarkerScript(const std::string& marker)
{
    const std::string path = Root + "/newbuild.sh";
    // It says it is up as the program does once its first page shows.
    WriteFile(path, "#!/bin/sh\necho started >" + Quote(marker) + "\n[ \"$SETUP_STARTED_FD\" = 3 ] && printf 1 >&3\n");
    fs::permissions(path, fs::perms(0644));
    return path;
}

void UpdateFixture::OpenWindow()
{
    ChecksAtOpen = TThCheckUpd::ChecksFinished();
    Main = new TFMain;
    fUpdMess = new TfUpdMess(Main);
    Main->show();
}

bool UpdateFixture::WaitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

void UpdateFixture::WaitCheck()
{
    ASSERT_TRUE(WaitFor([this] { return TThCheckUpd::ChecksFinished() > ChecksAtOpen; }, 40000));
    QCoreApplication::processEvents();
}
