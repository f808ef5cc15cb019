#pragma once

#include <string>
#include <vector>

// The request header record of a client. An empty or zero field sends no header line.
class THttpRequestHeader {
public:
    std::string Accept = "text/html, */*";
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    std::string From;
    std::string Referer;
    std::string UserAgent = "Mozilla/3.0 (compatible; Setup)";
    std::string Connection;
    std::string ContentVersion;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::string ContentType;
    long long ContentLength = 0;
    std::string Range;  // sent as "Range: bytes=" + Range
    std::string Username;
    std::string Password;
    // The client always connects straight to the URL's host; the proxy fields only feed
    // the Proxy-Authorization line.
    std::string ProxyServer;
    int ProxyPort = 0;
    std::string ProxyUsername;
    std::string ProxyPassword;
    std::vector<std::string> CustomHeaders;  // whole lines, "Name: value"

    // The header lines in wire order, each ended by CR LF. Throws EHttpError when a
    // value holds a line break, which would let it smuggle in lines of its own.
    std::string HeaderLines() const;
};
