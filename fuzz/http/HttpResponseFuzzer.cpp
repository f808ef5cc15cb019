// Arbitrary bytes as a server's answer: the response reader must fail cleanly, never
// crash, overrun or allocate past its limits.
#include "update/THttpConnection.h"
#include "update/THttpMemoryStream.h"
#include "update/THttpResponseReader.h"

#include "platform/Exception.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {
// Hands the input out in pieces of varying size, as a socket would.
class TMemoryConnection : public THttpConnection {
public:
    TMemoryConnection(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    std::size_t Receive(char* buffer, std::size_t size) override
    {
        std::size_t left = FSize - FOffset;
        std::size_t piece = std::min({size, left, 1 + (FOffset * 7919 + left) % 4096});
        std::memcpy(buffer, FData + FOffset, piece);
        FOffset += piece;
        return piece;
    }
    void Send(const std::string&) override {}
    void Close() override { FClosed = true; }
    bool Connected() const override { return !FClosed; }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FOffset = 0;
    bool FClosed = false;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMemoryConnection connection(data, size);
    THttpResponseReader reader(connection);
    // Several responses in a row, as on a kept-alive connection.
    for (int i = 0; i < 4 && connection.Connected(); ++i) {
        try {
            THttpResponseHeader header = reader.ReadHeader();
            THttpMemoryStream body;
            reader.ReadBody(header, body, 1u << 20);
            if (body.Size() > (1u << 20))
                __builtin_trap();
        } catch (const Exception&) {
            break;
        }
    }
    return 0;
}
