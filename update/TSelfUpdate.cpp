#include "update/TSelfUpdate.h"

#include "app/LangTexts.h"
#include "app/ShellState.h"
#include "app/TFMain.h"
#include "archive/ArchiveBinding.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TFileStream.h"
#include "platform/TFilePermissions.h"
#include "update/EUpdateError.h"
#include "update/THttpClient.h"
#include "update/THttpMemoryStream.h"
#include "update/TUpdateServer.h"
#include "update/TUpdateSignature.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QLabel>
#include <QPushButton>

#include <limits>

namespace {
QString Text(int row)
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
}

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

bool TSelfUpdate::Swap(const std::string& exeFileName)
{
    const std::string newName = NewUpdateName(exeFileName);
    const std::string oldName = OldUpdateName(exeFileName);
    // Never leave the folder without a program: both steps must be possible, or none is made.
    if (!FileExists(newName) || !FileExists(exeFileName))
        return false;
    // An unpacked file carries no execute bits; the new build must be startable.
    TFilePermissions::CopyExecuteBits(exeFileName, newName);
    if (!MoveFileNoReplace(exeFileName, oldName))
        return false;
    if (!MoveFileNoReplace(newName, exeFileName)) {
        MoveFileNoReplace(oldName, exeFileName);
        return false;
    }
    return true;
}

void TSelfUpdate::SavePackage(const char* data, std::size_t size)
{
    auto file = TFileStream::Create(PackagePath);
    if (!file)
        throw EUpdateError("cannot create " + PackagePath);
    while (size > 0) {
        const auto chunk = static_cast<std::uint32_t>(std::min<std::size_t>(size, 1u << 30));
        file->Write(data, chunk);
        data += chunk;
        size -= chunk;
    }
    file->Close();
}

void TSelfUpdate::UnpackPackage()
{
    TGUID formatId{};
    if (!FormatIdForExtension(ExtractFileExt(PackagePath), formatId))
        throw EUpdateError("unknown package format");
    I7zReaderPtr reader = CreateArchiveReader(formatId, LibPath);
    reader->OpenArchiveFile(PackagePath);
    if (reader->ItemCount() == 0)
        throw EUpdateError("the package is empty");
    reader->ExtractAllToFolder(ProgramFolder());
    reader->CloseArchive();
}

bool TSelfUpdate::DownloadAndInstall(TFMain& form, const std::string& exeFileName)
{
    THttpMemoryStream stream;
    {
        THttpClient client;
        client.Request.UserAgent.clear();
        client.HandleRedirects = true;
        client.MaxStreamSize = PackageSizeLimit;
        client.FetchStream(TUpdateServer::Url(TUpdateServer::PackagePath), stream);
    }
    if (stream.Size() == 0)
        return false;
    // The digest is the one the (signed) notice announced when the check ran; a package
    // that differs is never written, let alone unpacked.
    const std::string expected = ServerPackageSha256.Get();
    if (expected.empty() && !TUpdateServer::PublicKeyHex().empty())
        return false;
    if (!expected.empty() && TUpdateSignature::Sha256Hex(stream.Data(), stream.Size()) != expected)
        return false;

    PackagePath = ExtractFilePath(LibPath) + "Setup.7z";
    bool started = false;
    try {
        SavePackage(stream.Data(), stream.Size());
        stream.Clear();
        UnpackPackage();
        if (Swap(exeFileName))
            started = StartProgramDetached(exeFileName);
    } catch (...) {
    }
    if (FileExists(PackagePath))
        DeleteFile(PackagePath);
    if (started)
        form.close();
    return started;
}

void TSelfUpdate::Download(TFMain& form, const std::string& exeFileName)
{
    TfUpdMess* dialog = fUpdMess;
    if (!dialog)
        return;
    dialog->lMessage->setText(Text(0) + QString::fromStdString(ServerVersionText.Get()) + Text(1));
    dialog->bYes->setText(Text(4));
    dialog->bNo->setText(Text(5));
    if (ShowModal(dialog) != TfUpdMess::mrYes)
        return;
    bool done = false;
    try {
        done = DownloadAndInstall(form, exeFileName);
    } catch (...) {
    }
    if (!done)
        ShowMessageBox(Text(3));
}

void TSelfUpdate::CleanUp(const std::string& exeFileName)
{
    const std::string oldName = OldUpdateName(exeFileName);
    if (!FileExists(oldName))
        return;
    if (!ForceDirectories(WorkFolder))
        return;
    BatPath = IncludeTrailingPathDelimiter(WorkFolder) + "DelOldUpdate.bat";
    const std::string line = CleanUpScript(ProgramFolder() + oldName);
    auto file = TFileStream::Create(BatPath);
    if (!file)
        return;
    file->Write(line.data(), static_cast<std::uint32_t>(line.size()));
    file->Close();
    StartShellScriptDetached(BatPath);
}

bool TSelfUpdate::Complete(const std::string& exeFileName)
{
    if (!FileExists(NewUpdateName(exeFileName)))
        return false;
    if (Swap(exeFileName) && StartProgramDetached(exeFileName))
        return true;
    ShowMessageBox(Text(2));
    return false;
}
