#pragma once

#include <functional>

#include "archive/TItemWriter.h"
#include "platform/THostStream.h"

// The stream the library writes one item into during an extraction to a folder: it copies
// the data into the writer's chunks and hands each full chunk on, so the decoding thread
// only ever pays for a copy. Writing only, front to back.
class TWriterFeed final : public THostStream {
public:
    using TDeliverFn = std::function<void(TItemWriter::TChunkPtr)>;

    TWriterFeed(TItemWriter& writer, TDeliverFn deliver);

    // Hands on the partly filled chunk, if any.
    void Flush();

    uint32_t Read(void* data, uint32_t size) override;
    void Write(const void* data, uint32_t size) override;
    uint64_t Seek(int64_t offset, uint32_t origin) override;
    uint64_t Size() override;
    void SetSize(uint64_t size) override;

private:
    TItemWriter& Writer;
    TDeliverFn Deliver;
    TItemWriter::TChunkPtr Current;
    uint64_t Position = 0;
};
