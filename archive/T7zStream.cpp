#include "archive/T7zStream.h"

#include <exception>

#include "platform/Exception.h"
#include "platform/THostStream.h"

T7zStream::T7zStream(THostStream* host, TStreamOwnership ownership,
                     std::shared_ptr<TPendingError> errors)
    : HostStream(host), Ownership(ownership), Errors(std::move(errors))
{
}

T7zStream::~T7zStream()
{
    DetachHost();
}

void T7zStream::SetWriteObserver(void* sender, TArchiveWriteObserverFn fn)
{
    ObserverSender = sender;
    ObserverFn = fn;
}

void T7zStream::DetachHost() noexcept
{
    THostStream* host = HostStream;
    HostStream = nullptr;
    if (host && Ownership == TStreamOwnership::Owned)
        delete host;
}

THResult T7zStream::QueryInterface(const TGUID& iid, void** out) noexcept
{
    if (!out)
        return kE_INVALIDARG;
    *out = nullptr;
    if (iid == IID_IUnknown7z)
        *out = static_cast<IUnknown*>(static_cast<IInStream*>(this));
    else if (iid == IID_ISequentialInStream)
        *out = static_cast<ISequentialInStream*>(this);
    else if (iid == IID_IInStream)
        *out = static_cast<IInStream*>(this);
    else if (iid == IID_ISequentialOutStream)
        *out = static_cast<ISequentialOutStream*>(this);
    else if (iid == IID_IOutStream)
        *out = static_cast<IOutStream*>(this);
    else if (iid == IID_IStreamGetSize)
        *out = static_cast<IStreamGetSize*>(this);
    else if (iid == IID_IOutStreamFlush)
        *out = static_cast<IOutStreamFlush*>(this);
    else
        return kE_NOINTERFACE;
    AddRefObject();
    return kS_OK;
}

uint32_t T7zStream::AddRef() noexcept
{
    return AddRefObject();
}

uint32_t T7zStream::Release() noexcept
{
    return ReleaseObject();
}

// Called from a catch block only.
THResult T7zStream::Failed(const char* fallback) noexcept
{
    if (Errors) {
        try {
            throw;
        } catch (const Exception& e) {
            Errors->Set(e.what(), FailReasonForSystemError(e.SystemError()), std::string());
        } catch (const std::exception& e) {
            Errors->Set(e.what());
        } catch (...) {
            Errors->Set(fallback);
        }
    }
    return kE_FAIL;
}

THResult T7zStream::Read(void* data, uint32_t size, uint32_t* processed) noexcept
{
    if (processed)
        *processed = 0;
    if (!HostStream)
        return kE_FAIL;
    try {
        const uint32_t n = HostStream->Read(data, size);
        if (processed)
            *processed = n;
        return kS_OK;
    } catch (...) {
        return Failed("Cannot read the stream");
    }
}

THResult T7zStream::Write(const void* data, uint32_t size, uint32_t* processed) noexcept
{
    if (processed)
        *processed = 0;
    if (!HostStream)
        return kE_FAIL;
    try {
        if (ObserverFn)
            ObserverFn(ObserverSender);
        HostStream->Write(data, size);
        if (processed)
            *processed = size;
        return kS_OK;
    } catch (...) {
        return Failed("Cannot write the stream");
    }
}

THResult T7zStream::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) noexcept
{
    if (!HostStream)
        return kE_FAIL;
    try {
        const uint64_t pos = HostStream->Seek(offset, origin);
        if (newPosition)
            *newPosition = pos;
        return kS_OK;
    } catch (...) {
        return Failed("Cannot seek in the stream");
    }
}

THResult T7zStream::SetSize(uint64_t newSize) noexcept
{
    if (!HostStream)
        return kE_FAIL;
    try {
        HostStream->SetSize(newSize);
        return kS_OK;
    } catch (...) {
        return Failed("Cannot set the size of the stream");
    }
}

THResult T7zStream::GetSize(uint64_t* size) noexcept
{
    if (!HostStream)
        return kE_FAIL;
    try {
        const uint64_t s = HostStream->Size();
        if (size)
            *size = s;
        return kS_OK;
    } catch (...) {
        return Failed("Cannot read the size of the stream");
    }
}

THResult T7zStream::Flush() noexcept
{
    return kS_OK;
}
