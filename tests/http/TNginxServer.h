#pragma once

#include <string>
#include <sys/types.h>

// A real nginx on a free loopback port, with its prefix, configuration, pid and logs in
// a folder of its own; it serves Root() and is stopped by the destructor.
class TNginxServer {
public:
    TNginxServer();
    ~TNginxServer();
    TNginxServer(const TNginxServer&) = delete;
    TNginxServer& operator=(const TNginxServer&) = delete;

    int Port() const { return FPort; }
    const std::string& Root() const { return FRoot; }
    const std::string& Folder() const { return FFolder; }
    std::string Url(const std::string& path) const;

private:
    bool Start();

    std::string FFolder;
    std::string FRoot;
    int FPort = 0;
    pid_t FPid = -1;
};
