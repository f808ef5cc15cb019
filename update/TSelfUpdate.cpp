#include "update/TSelfUpdate.h"

#include "app/LangTexts.h"
#include "app/ShellState.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TFileStream.h"
#include "update/IUpdateWindow.h"
#include "update/TDownloadWatch.h"
#include "update/TExecutableSwap.h"
#include "update/THttpClient.h"
#include "update/TPackageStream.h"
#include "update/TUpdatePackage.h"
#include "update/TUpdateServer.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QApplication>
#include <QElapsedTimer>
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

constexpr std::uint64_t PackageSizeLimit = 256u << 20;
// How often the window gets to repaint while the download blocks the main thread.
constexpr qint64 RepaintIntervalMs = 50;

// Fetches the package into package, holding it to the download limits; the window
// repaints meanwhile under a busy cursor, but takes no input.
void FetchPackage(TPackageStream& package)
{
    THttpClient client;
    client.Request.UserAgent.clear();
    client.HandleRedirects = true;
    client.MaxStreamSize = PackageSizeLimit;
    TDownloadWatch watch(TSelfUpdate::DownloadLimits);
    QElapsedTimer clock;
    clock.start();
    qint64 lastRepaint = 0;
    client.OnProgress = [&](std::size_t received) {
        const qint64 now = clock.elapsed();
        watch.Received(received, now);
        if (now - lastRepaint >= RepaintIntervalMs) {
            lastRepaint = now;
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    };
    // The clock runs from the press, so a slow connect counts against the deadline too.
    watch.Received(0, 0);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        client.FetchStream(TUpdateServer::Url(TUpdateServer::PackagePath), package);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
}
}

TDownloadLimits TSelfUpdate::DownloadLimits;

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
    // The package never has a name: a run that dies mid-way leaves nothing behind.
    TPackageStream package(ExtractFilePath(LibPath));
    FetchPackage(package);
    if (package.Size() == 0)
        return false;
    // The digest is the one the (signed) notice announced when the check ran; a package
    // that differs is never unpacked.
    const std::string expected = ServerPackageSha256.Get();
    if (expected.empty() && !TUpdateServer::PublicKeyHex().empty())
        return false;
    if (!expected.empty() && package.Sha256Hex() != expected)
        return false;

    PackagePath = ExtractFilePath(LibPath) + "Setup.7z";
    TUpdatePackage(ProgramFolder(), exeFileName).Install(package.Path(), LibPath);
    if (TExecutableSwap(exeFileName).ApplyAndStart() != TExecutableSwap::TResult::Started)
        return false;
    window.CloseAfterUpdate();
    return true;
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
    bool done = false;
    try {
        done = DownloadAndInstall(window, TExecutableSwap::ProgramName(exeFileName));
    } catch (...) {
    }
    if (!done)
        ShowMessageBox(Text(ltUpdateFailed));
}

void TSelfUpdate::CleanUp(const std::string& exeFileName)
{
    if (TExecutableSwap::IsUpdateName(exeFileName)) {
        // Started by hand under an update name: deleting that name would delete itself.
        TExecutableSwap::Recover(exeFileName);
        ShowMessageBox(Text(ltSwapFailed));
        return;
    }
    TUpdatePackage(ProgramFolder(), exeFileName).RemoveLeftovers();
    const TExecutableSwap swap(exeFileName);
    if (!FileExists(swap.OldName()))
        return;
    if (swap.OldIsLink()) {
        // A second name of the program itself, from a swap cut short: a pending swap
        // finishes from it; otherwise it can simply go.
        if (!swap.Pending())
            DeleteFile(swap.OldName());
        return;
    }
    if (!ForceDirectories(WorkFolder))
        return;
    BatPath = IncludeTrailingPathDelimiter(WorkFolder) + "DelOldUpdate.bat";
    const std::string line = CleanUpScript(ProgramFolder() + swap.OldName());
    auto file = TFileStream::Create(BatPath);
    if (!file)
        return;
    file->Write(line.data(), static_cast<std::uint32_t>(line.size()));
    file->Close();
    StartShellScriptDetached(BatPath);
}

bool TSelfUpdate::Complete(const std::string& exeFileName)
{
    if (TExecutableSwap::IsUpdateName(exeFileName))
        return false;
    TExecutableSwap swap(exeFileName);
    if (!swap.Pending())
        return false;
    if (swap.ApplyAndStart() == TExecutableSwap::TResult::Started)
        return true;
    ShowMessageBox(Text(ltSwapFailed));
    return false;
}
