#pragma once

#include "update/TDownloadLimits.h"

#include <atomic>
#include <memory>
#include <string>

// The slow part of an update, off the window's thread: fetch the package, check its sum,
// unpack it into the hidden folder beside the program (placing it is left to the caller). It owns copies of all it reads, so the window may stop
// waiting for it (Exit) while it runs on.
class TUpdateDownload {
public:
    struct TJob {
        std::string Url;
        std::string ProgramFolder;  // ends in the delimiter
        std::string ExeFileName;    // bare N
        std::string LibPath;
        std::string ExpectedSha256;  // "" when the server announced none
        bool SumRequired = false;    // a key is built in: a package without a sum is refused
        TDownloadLimits Limits;
    };

    // Runs job on a thread of its own.
    static std::shared_ptr<TUpdateDownload> Start(const TJob& job);

    bool Done() const { return FDone.load(); }
    // The package is unpacked, ready to be placed.
    bool Succeeded() const { return FSucceeded.load(); }
    // The package arrived whole and with the announced sum; it is (being) unpacked.
    bool Accepted() const { return FAccepted.load(); }
    // Nobody waits any more: the download stops at its next arrival.
    void Abandon() { FAbandoned = true; }

    explicit TUpdateDownload(const TJob& job);

private:
    void Run();
    bool FetchCheckAndUnpack();

    TJob FJob;
    std::atomic<bool> FDone{false};
    std::atomic<bool> FSucceeded{false};
    std::atomic<bool> FAccepted{false};
    std::atomic<bool> FAbandoned{false};
};
