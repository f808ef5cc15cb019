#include "TNginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {
int FreePort()
{
    int handle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(handle, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
    close(handle);
    return ntohs(address.sin_port);
}

bool Accepts(int port)
{
    int handle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(handle);
    return ok;
}
}  // namespace

TNginxServer::TNginxServer()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/setup-nginx-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make the nginx folder");
    FFolder = pattern;
    FRoot = FFolder + "/www";
    std::filesystem::create_directories(FRoot);
    std::filesystem::create_directories(FFolder + "/temp");
    // A port picked here can be taken before nginx binds it; try a few.
    for (int attempt = 0; attempt < 5; ++attempt)
        if (Start())
            return;
    std::filesystem::remove_all(FFolder);
    throw std::runtime_error("nginx did not start");
}

bool TNginxServer::Start()
{
    FPort = FreePort();
    std::string conf = FFolder + "/nginx.conf";
    std::ofstream(conf) << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
        << "pid " << FFolder << "/nginx.pid;\nerror_log " << FFolder << "/error.log;\n"
        << "events { worker_connections 64; }\n"
        << "http {\n  access_log off;\n  sendfile on;\n  default_type application/octet-stream;\n"
        << "  client_body_temp_path " << FFolder << "/temp/body;\n"
        << "  proxy_temp_path " << FFolder << "/temp/proxy;\n"
        << "  fastcgi_temp_path " << FFolder << "/temp/fastcgi;\n"
        << "  uwsgi_temp_path " << FFolder << "/temp/uwsgi;\n"
        << "  scgi_temp_path " << FFolder << "/temp/scgi;\n"
        << "  server {\n    listen 127.0.0.1:" << FPort << ";\n    root " << FRoot << ";\n"
        << "    location = /moved { return 302 http://127.0.0.1:" << FPort << "/pub/OVK/Setup.7z; }\n"
        << "  }\n}\n";
    std::string errorLog = FFolder + "/error.log";
    const char* argv[] = {"/usr/sbin/nginx", "-p", FFolder.c_str(), "-c", conf.c_str(),
                          "-e", errorLog.c_str(), nullptr};
    if (posix_spawn(&FPid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        throw std::runtime_error("cannot start nginx");
    for (int i = 0; i < 250; ++i) {
        int status;
        if (waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            return false;
        }
        if (Accepts(FPort))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
    FPid = -1;
    return false;
}

TNginxServer::~TNginxServer()
{
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(FFolder, ignored);
}

std::string TNginxServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(FPort) + path;
}
