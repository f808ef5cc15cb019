#include "update/TUpdateDownload.h"

#include "platform/Paths.h"
#include "update/EUpdateError.h"
#include "update/TDownloadWatch.h"
#include "update/THttpClient.h"
#include "update/TPackageStream.h"
#include "update/TUpdatePackage.h"

#include <chrono>
#include <thread>

namespace {
constexpr std::uint64_t PackageSizeLimit = 256u << 20;
}

TUpdateDownload::TUpdateDownload(const TJob& job) : FJob(job)
{
}

std::shared_ptr<TUpdateDownload> TUpdateDownload::Start(const TJob& job)
{
    auto self = std::make_shared<TUpdateDownload>(job);
    std::thread([self] { self->Run(); }).detach();
    return self;
}

void TUpdateDownload::Run()
{
    bool ok = false;
    try {
        ok = FetchCheckAndUnpack();
    } catch (...) {
    }
    FSucceeded = ok;
    FDone = true;
}

bool TUpdateDownload::FetchCheckAndUnpack()
{
    // The package never has a name: a run that dies mid-way leaves nothing behind.
    TPackageStream package(ExtractFilePath(FJob.LibPath));
    {
        THttpClient client;
        client.Request.UserAgent.clear();
        client.HandleRedirects = true;
        client.MaxStreamSize = PackageSizeLimit;
        TDownloadWatch watch(FJob.Limits);
        const auto start = std::chrono::steady_clock::now();
        auto now = [start] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        };
        client.OnProgress = [&](std::size_t received) {
            if (FAbandoned)
                throw EUpdateError("the update was abandoned");
            watch.Received(received, now());
        };
        // The clock runs from the press, so a slow connect counts against the deadline too.
        watch.Received(0, 0);
        client.FetchStream(FJob.Url, package);
    }
    if (package.Size() == 0 || FAbandoned)
        return false;
    // The digest is the one the (signed) notice announced when the check ran; a package
    // that differs is never unpacked.
    if (FJob.ExpectedSha256.empty() && FJob.SumRequired)
        return false;
    if (!FJob.ExpectedSha256.empty() && package.Sha256Hex() != FJob.ExpectedSha256)
        return false;
    FAccepted = true;
    TUpdatePackage(FJob.ProgramFolder, FJob.ExeFileName).Unpack(package.Path(), FJob.LibPath);
    return true;
}
