#pragma once

#include <memory>

#include "archive/ArchiveInterfaces.h"
#include "archive/I7zReader.h"
#include "archive/TInterfacedObject.h"
#include "archive/TPendingError.h"

class THostStream;

enum class TStreamOwnership : uint8_t { Borrowed = 0, Owned = 1 };

// Adapter between a host stream and the library. Data passes straight through, no
// buffering. A failure of the host stream becomes E_FAIL for the library and its text
// goes to the error slot, so the caller can raise it after the library call returns.
class T7zStream final : public TInterfacedObject,
                        public IOutStreamFlush,
                        public IOutStream,
                        public IStreamGetSize,
                        public IInStream {
public:
    T7zStream(THostStream* host, TStreamOwnership ownership,
              std::shared_ptr<TPendingError> errors = nullptr);

    void SetWriteObserver(void* sender, TArchiveWriteObserverFn fn);
    // Lets go of the host stream (freeing it when owned); later calls answer E_FAIL.
    void DetachHost() noexcept;

    THResult QueryInterface(const TGUID& iid, void** out) noexcept override;
    uint32_t AddRef() noexcept override;
    uint32_t Release() noexcept override;

    THResult Read(void* data, uint32_t size, uint32_t* processed) noexcept override;
    THResult Write(const void* data, uint32_t size, uint32_t* processed) noexcept override;
    THResult Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) noexcept override;
    THResult SetSize(uint64_t newSize) noexcept override;
    THResult GetSize(uint64_t* size) noexcept override;
    THResult Flush() noexcept override;

private:
    ~T7zStream() override;
    THResult Failed(const char* fallback) noexcept;

    THostStream* HostStream;
    TStreamOwnership Ownership;
    std::shared_ptr<TPendingError> Errors;
    void* ObserverSender = nullptr;
    TArchiveWriteObserverFn ObserverFn = nullptr;
};
