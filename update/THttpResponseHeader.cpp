#include "update/THttpResponseHeader.h"

#include <algorithm>
#include <cctype>

namespace {
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
}  // namespace

bool THttpResponseHeader::IsChunked() const
{
    // Transfer codings are case-insensitive; "Chunked" framing read as a plain body
    // would hand the chunk sizes to the caller as data.
    return Lower(TransferEncoding).find("chunked") != std::string::npos;
}

bool THttpResponseHeader::WantsClose() const { return Lower(Connection) == "close"; }

bool THttpResponseHeader::HasNoBody() const
{
    return (StatusCode >= 100 && StatusCode < 200) || StatusCode == 204 || StatusCode == 304;
}
