#include "update/SelfUpdateHooks.h"

#include "platform/ExecutablePath.h"
#include "platform/Paths.h"
#include "platform/TStartPipe.h"
#include "update/TExecutableSwap.h"
#include "update/TSelfUpdate.h"
#include "update/TThCheckUpd.h"

#include <QCoreApplication>
#include <QTimer>

#include <utility>

namespace {
// The clean-up waiting for this build's confirmation to the one that started it.
std::string DeferredCleanUp;

// The build that started this one holds the folder until this one shows; another copy
// for as long as its update takes.
constexpr int CleanUpRetryMs = 250;
constexpr int CleanUpTries = 240;

void TryCleanUp(const std::string& exeFileName, int triesLeft)
{
    bool done = true;
    try {
        done = TSelfUpdate::CleanUp(exeFileName);
    } catch (...) {
    }
    if (!done && triesLeft > 1 && QCoreApplication::instance())
        QTimer::singleShot(CleanUpRetryMs, QCoreApplication::instance(),
                           [exeFileName, triesLeft] { TryCleanUp(exeFileName, triesLeft - 1); });
}
}

void CleanUpAfterUpdate(const std::string& exeFileName)
{
    // The build that started this one rolls back to the old build if this one ends
    // before it shows: the old build stays until then.
    if (TStartPipe::Awaited()) {
        DeferredCleanUp = exeFileName;
        return;
    }
    TryCleanUp(exeFileName, CleanUpTries);
}

void AdoptUpdateStartPipe()
{
    TStartPipe::Adopt();
}

void ConfirmUpdateStarted()
{
    if (!TStartPipe::Awaited())
        return;
    TStartPipe::Confirm();
    if (DeferredCleanUp.empty())
        return;
    const std::string exeFileName = std::exchange(DeferredCleanUp, std::string());
    // The starter holds the folder until it has read this and goes; it needs nothing of
    // it any more.
    try {
        TSelfUpdate::CleanUp(exeFileName, false);
    } catch (...) {
    }
}

bool CompletePendingUpdate(const std::string& exeFileName)
{
    try {
        return TSelfUpdate::Complete(exeFileName);
    } catch (...) {
        return false;
    }
}

void StartUpdateCheck(const std::string& exeFileName)
{
    auto* thread = new TThCheckUpd(true, TExecutableSwap::ProgramName(exeFileName));
    thread->SetFreeOnTerminate(true);
    thread->Resume();
}

void RunUpdateDownload(IUpdateWindow& window)
{
    TSelfUpdate::Download(window, ExtractFileName(ExecutablePath()));
}
