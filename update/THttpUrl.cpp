#include "update/THttpUrl.h"

#include "update/EHttpError.h"

THttpUrl THttpUrl::Parse(const std::string& url)
{
    THttpUrl result;
    std::string rest = url.substr(0, url.find('#'));
    std::size_t schemeEnd = rest.find("://");
    std::size_t firstSlash = rest.find('/');
    if (schemeEnd != std::string::npos && schemeEnd < firstSlash) {
        result.Scheme = rest.substr(0, schemeEnd);
        rest.erase(0, schemeEnd + 3);
        std::size_t authorityEnd = rest.find_first_of("/?");
        std::string authority = rest.substr(0, authorityEnd);
        rest.erase(0, authorityEnd == std::string::npos ? rest.size() : authorityEnd);
        // User information is never sent; drop it so it cannot pose as the host.
        if (std::size_t at = authority.rfind('@'); at != std::string::npos)
            authority.erase(0, at + 1);
        std::size_t colon = authority.find(':');
        result.Host = authority.substr(0, colon);
        if (colon != std::string::npos)
            result.Port = authority.substr(colon + 1);
    }
    std::size_t query = rest.find('?');
    std::size_t lastSlash = rest.rfind('/', query);
    if (lastSlash == std::string::npos) {
        result.Document = rest;
    } else {
        result.Path = rest.substr(0, lastSlash + 1);
        result.Document = rest.substr(lastSlash + 1);
    }
    return result;
}

std::string THttpUrl::Target() const
{
    std::string raw = Path + Document;
    if (raw.empty() || raw[0] != '/')
        raw = "/" + raw;
    std::string target;
    target.reserve(raw.size());
    for (unsigned char c : raw) {
        if (c < 0x20 || c == 0x7f)
            throw EHttpError("Invalid character in URL");
        if (c == ' ')
            target += "%20";
        else
            target += static_cast<char>(c);
    }
    return target;
}

void THttpUrl::InheritFrom(const THttpUrl& base)
{
    if (!Host.empty())
        return;
    Scheme = base.Scheme;
    Host = base.Host;
    Port = base.Port;
    if (Path.empty() || Path[0] != '/') {
        std::string folder = base.Path.empty() ? "/" : base.Path;
        Path = folder + Path;
    }
}
