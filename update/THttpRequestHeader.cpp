#include "update/THttpRequestHeader.h"

#include "update/EHttpError.h"

namespace {
std::string Base64(const std::string& text)
{
    static const char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < text.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(text[i]) << 16 |
                     static_cast<unsigned char>(text[i + 1]) << 8 |
                     static_cast<unsigned char>(text[i + 2]);
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += digits[(v >> 6) & 63];
        out += digits[v & 63];
    }
    if (std::size_t rest = text.size() - i) {
        unsigned v = static_cast<unsigned char>(text[i]) << 16;
        if (rest == 2)
            v |= static_cast<unsigned char>(text[i + 1]) << 8;
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += rest == 2 ? digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

void Add(std::string& lines, const char* name, const std::string& value)
{
    if (value.empty())
        return;
    if (value.find_first_of("\r\n") != std::string::npos)
        throw EHttpError(std::string("Line break in request header ") + name);
    lines += name;
    lines += value;
    lines += "\r\n";
}
}  // namespace

std::string THttpRequestHeader::HeaderLines() const
{
    std::string lines;
    Add(lines, "Accept: ", Accept);
    Add(lines, "Accept-Charset: ", AcceptCharSet);
    Add(lines, "Accept-Encoding: ", AcceptEncoding);
    Add(lines, "Accept-Language: ", AcceptLanguage);
    Add(lines, "From: ", From);
    Add(lines, "Referer: ", Referer);
    Add(lines, "User-Agent: ", UserAgent);
    Add(lines, "Connection: ", Connection);
    Add(lines, "Content-Version: ", ContentVersion);
    Add(lines, "Content-Encoding: ", ContentEncoding);
    Add(lines, "Content-Language: ", ContentLanguage);
    Add(lines, "Content-Type: ", ContentType);
    if (ContentLength > 0)
        Add(lines, "Content-Length: ", std::to_string(ContentLength));
    Add(lines, "Range: bytes=", Range);
    if (!Username.empty())
        Add(lines, "Authorization: Basic ", Base64(Username + ":" + Password));
    if (!ProxyUsername.empty())
        Add(lines, "Proxy-Authorization: Basic ", Base64(ProxyUsername + ":" + ProxyPassword));
    for (const std::string& line : CustomHeaders)
        Add(lines, "", line);
    return lines;
}
