#include "archive/ThUnPackFiles.h"

#include "shell/InstallErrorTexts.h"
#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "archive/ArchiveBinding.h"
#include "archive/EArchiveError.h"
#include "archive/TInstallRecorder.h"
#include "archive/TPackInstall.h"
#include "archive/ThPBFUpdate.h"
#include "archive/UnpackProgress.h"

#include <atomic>
#include <chrono>
#include <exception>

namespace {
// How long the worker waits for the last archive's updater to end before starting the
// next one, so two never write the bar at once.
constexpr auto UpdaterEndLimit = std::chrono::seconds(5);

std::atomic<int> Live{0};
}

ThUnPackFiles::ThUnPackFiles(bool createSuspended, const std::string& targetFolder,
                             const tFilesArray& files, std::shared_ptr<IInstallControls> controls)
    : TThread(createSuspended), Files(files), TargetFolder(targetFolder), FControls(std::move(controls))
{
    InstallFinished = false;
    SetFinishBeforeQuit(true);
    ++Live;
}

ThUnPackFiles::~ThUnPackFiles()
{
    // Free before the worker counts as gone, so whoever waited for that finds it free.
    FRecorder.reset();
    FTargetLock.Release();
    --Live;
}

void ThUnPackFiles::SetTargetLock(TFolderLock lock)
{
    FTargetLock = std::move(lock);
}

void ThUnPackFiles::SetRecorder(std::unique_ptr<TInstallRecorder> recorder)
{
    FRecorder = std::move(recorder);
}

int ThUnPackFiles::LiveCount()
{
    return Live;
}

void ThUnPackFiles::PrepareMainBar()
{
    if (FControls) {
        FControls->SetBarRange(IInstallControls::MainBar, static_cast<int>(Files.size()));
        FControls->SetBarPosition(IInstallControls::MainBar, 0);
    }
}

void ThUnPackFiles::ResetFileBar()
{
    if (FControls) {
        FControls->SetBarRange(IInstallControls::FileBar, 1);
        FControls->SetBarPosition(IInstallControls::FileBar, 0);
    }
}

void ThUnPackFiles::StepMainBar()
{
    if (FControls) {
        const int done = FControls->BarPosition(IInstallControls::MainBar);
        FControls->SetBarPosition(IInstallControls::MainBar, done + 1);
    }
}

void ThUnPackFiles::ShowInstallDone()
{
    if (!FControls)
        return;
    FControls->ShowDonePage();
    FControls->SetSystemMenu(true);
    FControls->SetCancelCaption(QString::fromUtf8(LangText(ltDone)));
}

void ThUnPackFiles::ShowInstallError()
{
    // The failure text stays as it is; what went wrong goes into the box's details.
    const std::string details = InstallErrorDetails(FCurrentEntry, FFailedItem, FFailReason, FFailText);
    if (FControls)
        FControls->ShowFailure(QString::fromUtf8(LangText(ltInstallFailed)), QString::fromUtf8(details));
}

void ThUnPackFiles::NoteFailure(const std::string& item, TFailReason reason, const std::string& text)
{
    FFailedItem = item;
    FFailReason = reason;
    FFailText = text;
}

void ThUnPackFiles::Execute()
{
    try {
        try {
            UnpackAll();
        } catch (const EArchiveError& e) {
            NoteFailure(e.Item(), e.Reason(), e.what());
            throw;
        } catch (const std::exception& e) {
            NoteFailure(std::string(), TFailReason::Other, e.what());
            throw;
        }
    } catch (...) {
        // Every failure ends the installation alike; the error's own text is not shown.
        // An archive stopped because the user cancelled (the program ending stops the
        // extraction) was cancelled, not failed.
        if (FRecorder)
            FRecorder->Finish(InstallFinished || ApplicationQuitting() ? "cancelled" : "failed");
        StopFileBar();
        ThPBFUpdate::WaitUntilNoneLive(UpdaterEndLimit);
        try {
            Synchronize([this] { ShowInstallError(); });
        } catch (...) {
        }
        InstallFinished = true;
    }
}

void ThUnPackFiles::UnpackAll()
{
    Synchronize([this] { PrepareMainBar(); });
    Synchronize([this] { ResetFileBar(); });
    // What could not be recorded is installed all the same, as without a record.
    if (FRecorder && !FRecorder->Begin())
        FRecorder.reset();
    TPackInstall::TEvents events;
    events.ArchiveStarts = [this](std::size_t i) {
        FCurrentEntry = Files[i];
        FileBarStop = false;
        auto* updater = new ThPBFUpdate(true, FControls);
        updater->SetFreeOnTerminate(true);
        updater->Resume();
    };
    events.ArchiveDone = [this](std::size_t) {
        Synchronize([this] { ResetFileBar(); });
        StopFileBar();
        ThPBFUpdate::WaitUntilNoneLive(UpdaterEndLimit);
        Synchronize([this] { StepMainBar(); });
    };
    // A cancel confirmed by the user, or the application going away.
    events.StopRequested = [] { return InstallFinished || ApplicationQuitting(); };
    TPackInstall pack(Files, TargetFolder, LibPath, this, FRecorder.get(), std::move(events));
    if (!pack.Run()) {
        if (FRecorder)
            FRecorder->Finish(pack.InPlace() == Files.size() ? "complete" : "cancelled");
        return;
    }
    if (FRecorder)
        FRecorder->Finish("complete");
    Synchronize([this] { ShowInstallDone(); });
    InstallFinished = true;
}
