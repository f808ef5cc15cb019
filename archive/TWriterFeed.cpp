#include "archive/TWriterFeed.h"

#include <cstring>

#include "platform/Exception.h"

TWriterFeed::TWriterFeed(TItemWriter& writer, TDeliverFn deliver) : Writer(writer), Deliver(std::move(deliver)) {}

void TWriterFeed::Flush()
{
    if (Current && Current->Size > 0)
        Deliver(std::move(Current));
    Current.reset();
}

uint32_t TWriterFeed::Read(void*, uint32_t)
{
    throw Exception("An item being extracted cannot be read back");
}

void TWriterFeed::Write(const void* data, uint32_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        if (!Current)
            Current = Writer.NewChunk();
        const uint32_t room = Current->Capacity - Current->Size;
        const uint32_t n = size < room ? size : room;
        std::memcpy(Current->Data.get() + Current->Size, p, n);
        Current->Size += n;
        Position += n;
        p += n;
        size -= n;
        if (Current->Size == Current->Capacity)
            Deliver(std::move(Current));
    }
}

uint64_t TWriterFeed::Seek(int64_t offset, uint32_t origin)
{
    // Asking where it stands is all a sequential writer may do.
    if ((origin == 1 && offset == 0) || (origin == 0 && offset >= 0 && uint64_t(offset) == Position) ||
        (origin == 2 && offset == 0))
        return Position;
    throw Exception("An item being extracted cannot be written out of order");
}

uint64_t TWriterFeed::Size()
{
    return Position;
}

void TWriterFeed::SetSize(uint64_t size)
{
    if (size != Position)
        throw Exception("An item being extracted cannot change its size");
}
