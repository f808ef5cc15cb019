#include "update/THttpClient.h"

#include "update/EHttpError.h"
#include "update/EProtocolReplyError.h"
#include "update/THttpMemoryStream.h"
#include "update/THttpResponseHeader.h"
#include "update/THttpResponseReader.h"
#include "update/THttpSocketConnection.h"
#include "update/THttpUrl.h"

#include <algorithm>
#include <strings.h>

namespace {
void CheckScheme(const THttpUrl& url)
{
    if (!url.Scheme.empty() && strcasecmp(url.Scheme.c_str(), "http") != 0)
        throw EHttpError("Unsupported protocol: " + url.Scheme.substr(0, 64));
    if (url.Host.empty())
        throw EHttpError("URL names no host");
}

int ParsePort(const std::string& text)
{
    bool digits = !text.empty() && text.size() <= 5 &&
                  std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    int port = digits ? std::stoi(text) : 0;
    if (port < 1 || port > 65535)
        throw EHttpError("Invalid port: " + text.substr(0, 64));
    return port;
}
}  // namespace

THttpClient::THttpClient() = default;

THttpClient::~THttpClient() = default;

std::string THttpClient::FetchText(const std::string& url)
{
    THttpMemoryStream body;
    Get(url, body, MaxTextSize);
    return body.ToString();
}

void THttpClient::FetchStream(const std::string& url, THttpStream& stream)
{
    Get(url, stream, MaxStreamSize);
}

void THttpClient::Disconnect()
{
    FReader.reset();
    FConnection.reset();
}

bool THttpClient::Connected() const { return FConnection && FConnection->Connected(); }

void THttpClient::Open(const std::string& host, int port)
{
    Disconnect();
    auto connection = std::make_unique<THttpSocketConnection>(host, port, ConnectTimeout, ReadTimeout);
    if (OnProgress)
        connection->SetProgress(OnProgress, ProgressIntervalMs);
    FConnection = std::move(connection);
    FReader = std::make_unique<THttpResponseReader>(*FConnection);
    FHost = host;
    FConnectedPort = port;
}

void THttpClient::Get(const std::string& url, THttpStream& stream, std::uint64_t limit)
{
    const std::uint64_t start = stream.Position();
    THttpUrl target = THttpUrl::Parse(url);
    bool keepConnection = target.Host.empty() && Connected();
    if (target.Host.empty()) {
        // A bare path goes to the host of the open connection.
        target.Scheme = "http";
        target.Host = FHost;
        target.Port = std::to_string(FConnectedPort);
    }
    CheckScheme(target);
    int requests = 1;
    try {
        for (;;) {
            if (!keepConnection) {
                bool samePort = !target.Port.empty() && ParsePort(target.Port) == FConnectedPort;
                if (Connected() && !(samePort && strcasecmp(target.Host.c_str(), FHost.c_str()) == 0))
                    Disconnect();
            }
            THttpResponseHeader response;
            bool redirect = DoRequest(target, stream, limit, response);
            bool closing = ProtocolVersion == pv1_0 || response.Server10 || response.WantsClose();
            if (redirect && HandleRedirects && requests < RedirectMaximum) {
                ++requests;
                // The final body replaces the redirect's one, nothing of it left behind.
                stream.SetPosition(start);
                stream.Truncate();
                if (closing)
                    Disconnect();
                THttpUrl next = THttpUrl::Parse(response.Location);
                keepConnection = next.Host.empty();
                if (keepConnection && !Connected()) {
                    next.Port = std::to_string(FConnectedPort);
                    keepConnection = false;
                }
                next.InheritFrom(target);
                if (next.Scheme.empty())
                    next.Scheme = "http";
                CheckScheme(next);
                target = next;
                continue;
            }
            if (closing)
                Disconnect();
            // A chain that reached its limit ends quietly with the last body.
            if (redirect && HandleRedirects)
                return;
            if (response.StatusCode >= 200 && response.StatusCode < 300)
                return;
            throw EProtocolReplyError(response.StatusCode, response.StatusLine);
        }
    } catch (const EProtocolReplyError&) {
        throw;
    } catch (...) {
        // A response cut short leaves the connection in an unknown state.
        Disconnect();
        throw;
    }
}

bool THttpClient::DoRequest(const THttpUrl& url, THttpStream& stream, std::uint64_t limit,
                            THttpResponseHeader& response)
{
    int port = url.Port.empty() ? Port : ParsePort(url.Port);
    std::string request = "GET " + url.Target() + " HTTP/" +
                          (ProtocolVersion == pv1_0 ? "1.0" : "1.1") + "\r\n";
    if (url.Host.find_first_of("\r\n") != std::string::npos)
        throw EHttpError("Invalid host name");
    request += "Host: " + url.Host + "\r\n";
    request += Request.HeaderLines();
    request += "\r\n";
    if (!Connected())
        Open(url.Host, port);
    FConnection->Send(request);
    response = FReader->ReadHeader();
    FReader->ReadBody(response, stream, limit);
    return response.HasLocation;
}
