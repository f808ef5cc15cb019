#include "TScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

TScriptedServer::TScriptedServer(Script script) : FScript(std::move(script))
{
    FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (FListen < 0 || bind(FListen, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(FListen, 16) != 0 ||
        getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test server cannot listen");
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Run(); });
}

TScriptedServer::~TScriptedServer()
{
    FStop = true;
    FThread.join();
    for (std::thread& worker : FWorkers)
        worker.join();
    close(FListen);
}

std::string TScriptedServer::PortUrl(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

std::vector<TScriptedServer::Request> TScriptedServer::Requests()
{
    std::lock_guard<std::mutex> guard(FLock);
    return FRequests;
}

void TScriptedServer::Run()
{
    for (int connection = 0; !FStop; ) {
        pollfd entry{FListen, POLLIN, 0};
        if (poll(&entry, 1, 20) <= 0)
            continue;
        int handle = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (handle < 0)
            continue;
        // Each connection on its own thread: a client may keep one open while it starts
        // another.
        FWorkers.emplace_back([this, handle, number = connection++] {
            Serve(handle, number);
            close(handle);
        });
    }
}

namespace {
// Waits for readable data or the peer's close; false when the server is stopping.
bool WaitReadable(int handle, const std::atomic<bool>& stop)
{
    while (!stop) {
        pollfd entry{handle, POLLIN, 0};
        if (poll(&entry, 1, 20) > 0)
            return true;
    }
    return false;
}
}  // namespace

void TScriptedServer::Serve(int handle, int connection)
{
    std::string pending;
    for (;;) {
        std::size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
            char buffer[4096];
            if (!WaitReadable(handle, FStop))
                return;
            ssize_t got = recv(handle, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            pending.append(buffer, static_cast<std::size_t>(got));
        }
        std::string request = pending.substr(0, end + 4);
        pending.erase(0, end + 4);
        int index;
        {
            std::lock_guard<std::mutex> guard(FLock);
            index = static_cast<int>(FRequests.size());
            FRequests.push_back({request, connection});
        }
        Reply reply = FScript(index, request);
        if (reply.Silent) {
            char byte;
            while (WaitReadable(handle, FStop) && recv(handle, &byte, 1, 0) > 0) {
            }
            return;
        }
        if (reply.TrickleMs) {
            std::size_t head = reply.Bytes.find("\r\n\r\n");
            head = head == std::string::npos ? 0 : head + 4;
            bool open = send(handle, reply.Bytes.data(), head, MSG_NOSIGNAL) == static_cast<ssize_t>(head);
            for (std::size_t i = head; open && i < reply.Bytes.size() && !FStop; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.TrickleMs));
                open = send(handle, reply.Bytes.data() + i, 1, MSG_NOSIGNAL) == 1;
            }
            return;
        }
        std::size_t half = reply.PauseMs ? reply.Bytes.size() / 2 : reply.Bytes.size();
        send(handle, reply.Bytes.data(), half, MSG_NOSIGNAL);
        if (reply.PauseMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.PauseMs));
            send(handle, reply.Bytes.data() + half, reply.Bytes.size() - half, MSG_NOSIGNAL);
        }
        if (reply.Close)
            return;
    }
}
