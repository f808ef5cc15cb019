#pragma once

#include "update/THttpRequestHeader.h"
#include "update/THttpStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class THttpConnection;
class THttpResponseReader;
class THttpResponseHeader;
class THttpUrl;

enum THttpProtocolVersion { pv1_0, pv1_1 };

// A blocking HTTP/1.x GET client. One object per caller and thread.
//
// Errors (all derive from Exception): ESocketError (resolve, connect, send, receive,
// connect time limit), EHttpReadTimeout (no data within ReadTimeout),
// EConnClosedGracefully (the server closed while more was expected),
// EProtocolReplyError (a final status that is not 2xx), EHttpConvertError (a status
// line without a number), EHttpError (a size limit crossed, malformed framing, a URL
// that is not plain http).
class THttpClient {
public:
    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    THttpProtocolVersion ProtocolVersion = pv1_1;
    int Port = 80;  // when the URL names none
    bool HandleRedirects = false;
    int RedirectMaximum = 15;  // requests in one chain, the first one included
    THttpRequestHeader Request;

    // Time limits in milliseconds; a silent server must not block the caller forever.
    int ConnectTimeout = 15000;
    int ReadTimeout = 30000;  // for each wait for data
    // Body size limits, checked before anything is allocated.
    std::uint64_t MaxTextSize = 1u << 20;      // FetchText
    std::uint64_t MaxStreamSize = 256u << 20;  // FetchStream

    // The body of the final response, byte for byte.
    std::string FetchText(const std::string& url);
    // Writes the body of the final response into stream from its current position on.
    void FetchStream(const std::string& url, THttpStream& stream);

    // Told the size of each arrival of response bytes, and 0 at least every
    // ProgressIntervalMs while the client waits for data; an error it raises ends the
    // fetch. Lets a caller keep its window alive and give up on a crawling server.
    std::function<void(std::size_t received)> OnProgress;
    int ProgressIntervalMs = 100;

    // Closes the kept-alive connection, if any.
    void Disconnect();

private:
    void Get(const std::string& url, THttpStream& stream, std::uint64_t limit);
    // One request and its response; returns true when the response asks to be followed.
    bool DoRequest(const THttpUrl& url, THttpStream& stream, std::uint64_t limit,
                   THttpResponseHeader& response);
    void Open(const std::string& host, int port);
    bool Connected() const;

    std::unique_ptr<THttpConnection> FConnection;
    std::unique_ptr<THttpResponseReader> FReader;
    std::string FHost;
    int FConnectedPort = 0;
};
