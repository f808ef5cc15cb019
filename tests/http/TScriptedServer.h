#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback HTTP server that plays a script: it records each raw request and answers
// with the raw bytes the test hands it.
class TScriptedServer {
public:
    struct Reply {
        std::string Bytes;
        bool Close = true;   // close after sending; else wait for the next request
        bool Silent = false; // send nothing and hold the connection until the peer goes
        int PauseMs = 0;     // pause after the first half of Bytes
        int TrickleMs = 0;   // after the header lines, one byte of Bytes every TrickleMs
    };
    struct Request {
        std::string Bytes;
        int Connection;  // 0-based number of the connection it came on
    };
    using Script = std::function<Reply(int index, const std::string& request)>;

    explicit TScriptedServer(Script script);
    ~TScriptedServer();

    int Port() const { return FPort; }
    // Without a port, as the program's URLs are: a client reaches it through its Port
    // setting, and every fetch starts on a new connection.
    std::string Url(const std::string& path) const { return "http://127.0.0.1" + path; }
    std::string PortUrl(const std::string& path) const;
    std::vector<Request> Requests();

private:
    void Run();
    void Serve(int handle, int connection);

    Script FScript;
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::mutex FLock;
    std::vector<Request> FRequests;
    std::thread FThread;
    std::vector<std::thread> FWorkers;  // touched by the accepting thread only
};
