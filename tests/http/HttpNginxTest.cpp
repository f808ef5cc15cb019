// THttpClient against a real nginx, checked byte for byte against curl.
#include "TNginxServer.h"

#include "update/EProtocolReplyError.h"
#include "update/THttpClient.h"
#include "update/THttpMemoryStream.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

extern char** environ;

namespace {
std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int Curl(const std::string& url, const std::string& output)
{
    const char* argv[] = {"curl", "-s", "-o", output.c_str(), url.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(HttpNginx, BodiesMatchCurlByteForByte)
{
    TNginxServer nginx;
    std::filesystem::create_directories(nginx.Root() + "/pub/OVK");
    std::mt19937 random(7);
    std::string package(3 * 1024 * 1024 + 123, '\0');
    for (char& c : package)
        c = static_cast<char>(random());
    std::ofstream(nginx.Root() + "/pub/OVK/Setup.7z", std::ios::binary) << package;
    std::ofstream(nginx.Root() + "/pub/OVK/Build.upd", std::ios::binary) << "120\r\n1.2.0.120\r\n";

    std::string curled = nginx.Folder() + "/curl.out";
    ASSERT_EQ(Curl(nginx.Url("/pub/OVK/Setup.7z"), curled), 0);

    THttpClient client;
    client.Request.UserAgent = "";
    client.HandleRedirects = true;
    THttpMemoryStream stream;
    client.FetchStream(nginx.Url("/moved"), stream);  // through nginx's own 302
    ASSERT_EQ(stream.Size(), package.size());
    EXPECT_TRUE(stream.ToString() == ReadFile(curled));

    ASSERT_EQ(Curl(nginx.Url("/pub/OVK/Build.upd"), curled), 0);
    EXPECT_EQ(client.FetchText(nginx.Url("/pub/OVK/Build.upd")), ReadFile(curled));

    try {
        client.FetchText(nginx.Url("/pub/OVK/UpdateInfo.txt"));
        FAIL() << "a missing file must raise";
    } catch (const EProtocolReplyError& error) {
        EXPECT_EQ(error.Code(), 404);
    }
}
