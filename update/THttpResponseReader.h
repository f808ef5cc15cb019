#pragma once

#include "update/THttpResponseHeader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class THttpConnection;
class THttpStream;

// Reads responses off one connection: status line, header lines and the body framed by
// Content-Length, by chunks or by the connection's close. Bytes read ahead stay buffered
// for the next response on the same connection.
class THttpResponseReader {
public:
    static constexpr std::size_t MaxLineLength = 64 * 1024;
    static constexpr int MaxHeaderLines = 1000;

    explicit THttpResponseReader(THttpConnection& connection);
    ~THttpResponseReader();
    THttpResponseReader(const THttpResponseReader&) = delete;
    THttpResponseReader& operator=(const THttpResponseReader&) = delete;

    THttpResponseHeader ReadHeader();
    // Writes the body into stream; more than limit bytes is an error raised before they
    // are stored. Leaves the connection closed when the body ran until the close.
    void ReadBody(const THttpResponseHeader& header, THttpStream& stream,
                  std::uint64_t limit);

private:
    // A line without its LF (and a CR before it). Closing before the LF is an error.
    std::string ReadLine();
    // Refills the buffer; false when the peer has closed.
    bool Fill();
    void ReadCounted(std::uint64_t count, THttpStream& stream);
    void ReadChunked(THttpStream& stream, std::uint64_t limit);
    void ReadUntilClose(THttpStream& stream, std::uint64_t limit);

    THttpConnection& FConnection;
    std::unique_ptr<char[]> FBuffer;
    std::size_t FBegin = 0;
    std::size_t FEnd = 0;
};
