#include "update/THttpResponseReader.h"

#include "update/EConnClosedGracefully.h"
#include "update/EHttpConvertError.h"
#include "update/EHttpError.h"
#include "update/THttpConnection.h"
#include "update/THttpStream.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {
constexpr std::size_t BufferSize = 256 * 1024;
constexpr std::size_t DirectThreshold = 64 * 1024;
constexpr std::size_t DirectPiece = 4 * 1024 * 1024;

std::string Trim(const std::string& text)
{
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

int ParseStatusCode(const std::string& text)
{
    // Nine digits at most: anything longer is no HTTP status and would overflow.
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw EHttpConvertError(text);
    return std::stoi(text);
}

std::int64_t ParseContentLength(const std::string& text)
{
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw EHttpError("Invalid Content-Length: " + text.substr(0, 64));
    return std::stoll(text);
}

std::uint64_t ParseChunkSize(const std::string& line)
{
    std::string text = Trim(line.substr(0, line.find_first_of(";")));
    text = text.substr(0, text.find_first_of(" \t"));
    if (text.empty() || text.size() > 16)
        throw EHttpError("Invalid chunk size: " + text.substr(0, 64));
    std::uint64_t size = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            throw EHttpError("Invalid chunk size: " + text);
        size = size * 16 + static_cast<std::uint64_t>(digit);
    }
    return size;
}

[[noreturn]] void RaiseTooLarge(std::uint64_t limit)
{
    throw EHttpError("Response body exceeds the limit of " + std::to_string(limit) +
                     " bytes");
}
}  // namespace

THttpResponseReader::THttpResponseReader(THttpConnection& connection)
    : FConnection(connection), FBuffer(new char[BufferSize])
{
}

THttpResponseReader::~THttpResponseReader() = default;

bool THttpResponseReader::Fill()
{
    if (FBegin == FEnd) {
        FBegin = FEnd = 0;
    } else if (FEnd == BufferSize) {
        std::memmove(FBuffer.get(), FBuffer.get() + FBegin, FEnd - FBegin);
        FEnd -= FBegin;
        FBegin = 0;
    }
    std::size_t got = FConnection.Receive(FBuffer.get() + FEnd, BufferSize - FEnd);
    FEnd += got;
    return got > 0;
}

std::string THttpResponseReader::ReadLine()
{
    std::size_t scanned = FBegin;
    for (;;) {
        const char* start = FBuffer.get() + scanned;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', FEnd - scanned));
        if (lf) {
            std::size_t end = static_cast<std::size_t>(lf - FBuffer.get());
            std::string line(FBuffer.get() + FBegin, end - FBegin);
            FBegin = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() > MaxLineLength)
                throw EHttpError("Response line too long");
            return line;
        }
        // One more byte than the limit may still be the CR of a line at the limit.
        if (FEnd - FBegin > MaxLineLength + 1)
            throw EHttpError("Response line too long");
        std::size_t offset = FEnd - FBegin;
        if (!Fill())
            throw EConnClosedGracefully();
        scanned = FBegin + offset;
    }
}

THttpResponseHeader THttpResponseReader::ReadHeader()
{
    THttpResponseHeader header;
    header.StatusLine = ReadLine();
    const std::string& status = header.StatusLine;
    std::size_t first = status.find(' ');
    std::string code;
    if (first != std::string::npos) {
        std::size_t second = status.find(' ', first + 1);
        code = status.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                     : second - first - 1);
    }
    header.StatusCode = ParseStatusCode(code);
    header.Server10 = status.size() >= 8 && status.compare(5, 3, "1.0") == 0;

    for (int count = 0;; ++count) {
        std::string line = ReadLine();
        if (line.empty())
            break;
        if (count >= MaxHeaderLines)
            throw EHttpError("Too many response header lines");
        std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        if (strcasecmp(name.c_str(), "Location") == 0) {
            // An empty Location names nothing to follow.
            if (!header.HasLocation && !value.empty()) {
                header.HasLocation = true;
                header.Location = value;
            }
        } else if (strcasecmp(name.c_str(), "Connection") == 0) {
            header.Connection = value;
        } else if (strcasecmp(name.c_str(), "Content-Length") == 0) {
            std::int64_t length = ParseContentLength(value);
            if (header.ContentLength >= 0 && header.ContentLength != length)
                throw EHttpError("Conflicting Content-Length headers");
            header.ContentLength = length;
        } else if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
            if (!header.TransferEncoding.empty())
                header.TransferEncoding += ", ";
            header.TransferEncoding += value;
        }
    }
    return header;
}

void THttpResponseReader::ReadBody(const THttpResponseHeader& header, THttpStream& stream,
                                   std::uint64_t limit)
{
    if (header.HasNoBody())
        return;
    // Chunked framing wins over a Content-Length, as HTTP/1.1 requires.
    if (header.IsChunked()) {
        ReadChunked(stream, limit);
    } else if (header.ContentLength >= 0) {
        std::uint64_t length = static_cast<std::uint64_t>(header.ContentLength);
        if (length > limit)
            RaiseTooLarge(limit);
        stream.Reserve(length);
        ReadCounted(length, stream);
    } else {
        ReadUntilClose(stream, limit);
    }
}

void THttpResponseReader::ReadCounted(std::uint64_t count, THttpStream& stream)
{
    while (count > 0) {
        // A large rest goes straight from the socket into the stream's own memory.
        if (FBegin == FEnd && count >= DirectThreshold) {
            std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, DirectPiece));
            if (char* direct = stream.Lend(want)) {
                std::size_t got = FConnection.Receive(direct, want);
                stream.Commit(got);
                if (got == 0)
                    throw EConnClosedGracefully();
                count -= got;
                continue;
            }
        }
        if (FBegin == FEnd && !Fill())
            throw EConnClosedGracefully();
        std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, FEnd - FBegin));
        stream.Write(FBuffer.get() + FBegin, take);
        FBegin += take;
        count -= take;
    }
}

void THttpResponseReader::ReadChunked(THttpStream& stream, std::uint64_t limit)
{
    std::uint64_t total = 0;
    for (;;) {
        std::uint64_t size = ParseChunkSize(ReadLine());
        if (size == 0)
            break;
        if (size > limit - total)
            RaiseTooLarge(limit);
        total += size;
        ReadCounted(size, stream);
        if (!ReadLine().empty())
            throw EHttpError("Chunk not followed by a line end");
    }
    // Trailer lines up to the empty line; leaving any behind would be read as the next
    // response on a kept-alive connection.
    for (int count = 0; !ReadLine().empty(); ++count) {
        if (count >= MaxHeaderLines)
            throw EHttpError("Too many response header lines");
    }
}

void THttpResponseReader::ReadUntilClose(THttpStream& stream, std::uint64_t limit)
{
    std::uint64_t total = 0;
    for (;;) {
        std::size_t available = FEnd - FBegin;
        if (available > 0) {
            if (available > limit - total)
                RaiseTooLarge(limit);
            stream.Write(FBuffer.get() + FBegin, available);
            total += available;
            FBegin = FEnd;
        }
        if (!Fill())
            break;
    }
    FConnection.Close();
}
