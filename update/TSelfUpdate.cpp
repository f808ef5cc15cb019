#include "update/TSelfUpdate.h"

#include "shell/ExtraTexts.h"
#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TFileStream.h"
#include "platform/TFolderLock.h"
#include "update/EventLoopWait.h"
#include "update/IUpdateWindow.h"
#include "update/TExecutableSwap.h"
#include "update/TUpdateDownload.h"
#include "update/TUpdatePackage.h"
#include "update/TUpdateServer.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {
QString Text(TLangText row)
{
    return QString::fromUtf8(LangText(row));
}

// Single quotes keep every byte of the path literal for the shell.
std::string ShellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

QString FolderBusyText(const std::string& folder)
{
    return ExtraText(etFolderBusy).arg(QString::fromStdString(folder));
}
}

TDownloadLimits TSelfUpdate::DownloadLimits;
int TSelfUpdate::StartConfirmMs = 15000;

std::string TSelfUpdate::NewUpdateName(const std::string& exeFileName)
{
    return ChangeFileExt(exeFileName, ".newupdate");
}

std::string TSelfUpdate::OldUpdateName(const std::string& exeFileName)
{
    return ChangeFileExt(exeFileName, ".oldupdate");
}

std::string TSelfUpdate::CleanUpScript(const std::string& oldUpdatePath)
{
    return "rm -f -- " + ShellQuote(oldUpdatePath);
}

bool TSelfUpdate::DownloadAndInstall(IUpdateWindow& window, const std::string& exeFileName)
{
    TUpdateDownload::TJob job;
    job.Url = TUpdateServer::Url(TUpdateServer::PackagePath);
    job.ProgramFolder = ProgramFolder();
    job.ExeFileName = exeFileName;
    job.LibPath = LibPath;
    job.ExpectedSha256 = ServerPackageSha256.Get();
    job.SumRequired = !TUpdateServer::PublicKeyHex().empty();
    job.Limits = DownloadLimits;
    const auto download = TUpdateDownload::Start(job);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WaitUntil([&] { return download->Done() || window.UpdateWindowClosed(); });
    QApplication::restoreOverrideCursor();
    if (!download->Done()) {
        download->Abandon();
        return false;
    }
    if (download->Accepted())
        PackagePath = ExtractFilePath(LibPath) + "Setup.7z";
    if (!download->Succeeded())
        return false;
    // Quick renames, on this thread like the swap, so a start never sees half of it.
    TUpdatePackage(ProgramFolder(), exeFileName).Place();

    if (TExecutableSwap(exeFileName).ApplyAndStart(StartWatch(window)) != TExecutableSwap::TResult::Started)
        return false;
    window.CloseAfterUpdate();
    return true;
}

std::function<bool(TStartPipe&)> TSelfUpdate::StartWatch(IUpdateWindow& window)
{
    return [&window](TStartPipe& pipe) {
        return WaitForStart(pipe, StartConfirmMs, [&window] { return window.UpdateWindowClosed(); });
    };
}

std::function<bool(TStartPipe&)> TSelfUpdate::StartWatch()
{
    return [](TStartPipe& pipe) { return WaitForStart(pipe, StartConfirmMs, [] { return false; }); };
}

void TSelfUpdate::Download(IUpdateWindow& window, const std::string& exeFileName)
{
    TfUpdMess* dialog = fUpdMess;
    if (!dialog)
        return;
    dialog->lMessage->setText(Text(ltNewVersionPrefix) + QString::fromStdString(ServerVersionText.Get()) + Text(ltNewVersionSuffix));
    dialog->bYes->setText(Text(ltYes));
    dialog->bNo->setText(Text(ltNo));
    if (ShowModal(dialog) != TfUpdMess::mrYes)
        return;
    // One copy at a time unpacks and swaps in this folder; another says so and leaves it.
    const std::string folder = ProgramFolder();
    TFolderLock lock;
    if (!lock.TryAcquire(folder)) {
        ShowMessageBox(FolderBusyText(folder));
        return;
    }
    bool done = false;
    window.SetUpdateBusy(true);
    try {
        done = DownloadAndInstall(window, TExecutableSwap::ProgramName(exeFileName));
    } catch (...) {
    }
    window.SetUpdateBusy(false);
    // Closed meanwhile (Exit): there is nobody left to tell.
    if (!done && !window.UpdateWindowClosed())
        ShowMessageBox(Text(ltUpdateFailed));
}

bool TSelfUpdate::CleanUp(const std::string& exeFileName, bool lockFolder)
{
    // Another copy updating this folder may still need the old build.
    TFolderLock lock;
    if (lockFolder && !lock.TryAcquire(ProgramFolder()))
        return false;
    if (TExecutableSwap::IsUpdateName(exeFileName)) {
        // Started by hand under an update name: deleting that name would delete itself.
        TExecutableSwap::Recover(exeFileName);
        ShowMessageBox(Text(ltSwapFailed));
        return true;
    }
    TUpdatePackage(ProgramFolder(), exeFileName).RemoveLeftovers();
    const TExecutableSwap swap(exeFileName);
    if (!FileExists(swap.OldName()))
        return true;
    if (swap.OldIsLink()) {
        // A second name of the program itself, from a swap cut short: a pending swap
        // finishes from it; otherwise it can simply go.
        if (!swap.Pending())
            DeleteFile(swap.OldName());
        return true;
    }
    if (!ForceDirectories(WorkFolder))
        return true;
    BatPath = IncludeTrailingPathDelimiter(WorkFolder) + "DelOldUpdate.bat";
    const std::string line = CleanUpScript(ProgramFolder() + swap.OldName());
    auto file = TFileStream::Create(BatPath);
    if (!file)
        return true;
    file->Write(line.data(), static_cast<std::uint32_t>(line.size()));
    file->Close();
    StartShellScriptDetached(BatPath);
    return true;
}

bool TSelfUpdate::Complete(const std::string& exeFileName)
{
    if (TExecutableSwap::IsUpdateName(exeFileName))
        return false;
    TExecutableSwap swap(exeFileName);
    if (!swap.Pending())
        return false;
    // Another copy is placing or swapping a build here: it finishes the job.
    TFolderLock lock;
    if (!lock.TryAcquire(ProgramFolder()))
        return false;
    if (swap.ApplyAndStart(StartWatch()) == TExecutableSwap::TResult::Started)
        return true;
    ShowMessageBox(Text(ltSwapFailed));
    return false;
}
