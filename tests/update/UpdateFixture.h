#pragma once

#include "TNginxServer.h"
#include "TScriptedServer.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class TFMain;

// A program folder of its own (the current folder while the test runs), a temporary path
// of its own and a real nginx that serves /pub/OVK/ from Pub().
class UpdateFixture : public ::testing::Test {
public:
    static std::string ReadFile(const std::string& path);
    static void WriteFile(const std::string& path, const std::string& content);
    static bool Exists(const std::string& path);
    static std::string Sha256(const std::string& path);
    // Runs a shell command; its exit status.
    static int Shell(const std::string& command);
    static std::string Quote(const std::string& s);
    // An update server's answer: the notice of build 41 at once on one kept-open
    // connection, as nginx would; a package of size bytes, one byte every trickleMs.
    static TScriptedServer::Reply Trickle(const std::string& request, int trickleMs, std::size_t size);
    static std::string Bin(const std::string& name) { return std::string(SETUP_TEST_BIN) + "/" + name + ".small"; }

protected:
    void SetUp() override;
    void TearDown() override;

    std::string Pub() const;
    std::string Host() const;
    // Copies a build from the test's bin folder into the program folder as "Setup".
    void InstallBuild(const std::string& binName);
    // Runs the publishing tool: build as Setup.newupdate into Pub(). keyPem "" uses the
    // tree's test key. Returns what the tool printed.
    std::string Publish(const std::string& build, const std::string& info, const std::string& version,
                 const std::string& keyPem = {});
    // A shell script that stands in for a new build: it writes marker into its current folder.
    std::string MarkerScript(const std::string& marker);

    // Opens the main window and the notice as the program does and waits for the check.
    void OpenWindow();
    // Deletes the notice and the main window, if open.
    void CloseWindows();
    bool WaitFor(const std::function<bool()>& condition, int ms);
    void WaitCheck();

    std::string Root;  // ends without the delimiter
    std::string Prog;  // the program's folder, ends with it
    std::string Tmp;   // the temporary path
    std::unique_ptr<TNginxServer> Server;
    TFMain* Main = nullptr;
    QStringList Messages;
    int ChecksAtOpen = 0;

private:
    std::string FOldCwd;
};
