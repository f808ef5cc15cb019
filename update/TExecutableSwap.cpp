#include "update/TExecutableSwap.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TFilePermissions.h"
#include "platform/TFileStream.h"
#include "platform/TStartPipe.h"

#include <cerrno>

namespace {
const char* const NewExt = ".newupdate";
const char* const OldExt = ".oldupdate";

// A file system without hard links still gets a startable N throughout: a full copy
// keeps the old build instead.
bool KeepOldBuild(const std::string& exe, const std::string& old)
{
    if (HardLink(exe, old))
        return true;
    const int error = LastFileSystemError();
    if (error != EPERM && error != EOPNOTSUPP && error != EMLINK && error != ENOSYS)
        return false;
    return CopyFileNoReplace(exe, old);
}
}

TExecutableSwap::TExecutableSwap(const std::string& exeFileName)
    : FExe(exeFileName), FNew(ChangeFileExt(exeFileName, NewExt)), FOld(ChangeFileExt(exeFileName, OldExt)),
      FFailed(FNew + ".failed")
{
}

bool TExecutableSwap::IsUpdateName(const std::string& fileName)
{
    const std::string ext = ExtractFileExt(fileName);
    return ext == NewExt || ext == OldExt;
}

std::string TExecutableSwap::ProgramName(const std::string& fileName)
{
    return IsUpdateName(fileName) ? ChangeFileExt(fileName, "") : fileName;
}

bool TExecutableSwap::Pending() const
{
    return FileExists(FNew);
}

bool TExecutableSwap::OldIsLink() const
{
    return SameFile(FOld, FExe);
}

bool TExecutableSwap::Apply()
{
    if (!FileExists(FNew) || !FileExists(FExe))
        return false;
    if (SameFile(FNew, FExe)) {
        // Renaming a file onto itself would do nothing: this is no new build.
        DeleteFile(FNew);
        return false;
    }
    // An unpacked file carries no execute bits; the new build must be startable.
    TFilePermissions::CopyExecuteBits(FExe, FNew);
    if (EntryExists(FOld)) {
        // An earlier build still waits for its clean-up, unless this is our own link.
        if (!OldIsLink())
            return false;
    } else if (!KeepOldBuild(FExe, FOld)) {
        return false;
    }
    // The one step that changes what N is: atomic, N is the old or the new build.
    if (!TFileStream::ReplaceFile(FNew, FExe)) {
        if (OldIsLink())
            DeleteFile(FOld);
        return false;
    }
    return true;
}

bool TExecutableSwap::Rollback()
{
    if (!FileExists(FOld))
        return false;
    if (OldIsLink())
        return DeleteFile(FOld);
    // The failed build gets its second name first, so N is startable at every instant.
    if (EntryExists(FFailed))
        DeleteFile(FFailed);
    if (!KeepOldBuild(FExe, FFailed))
        DeleteFile(FFailed);
    return TFileStream::ReplaceFile(FOld, FExe);
}

TExecutableSwap::TResult TExecutableSwap::ApplyAndStart(const std::function<bool(TStartPipe&)>& startedWell)
{
    if (!Apply())
        return TResult::NotSwapped;
    bool started;
    if (startedWell) {
        TStartPipe pipe;
        started = pipe.StartDetached(FExe) && startedWell(pipe);
    } else {
        started = StartProgramDetached(FExe);
    }
    if (started)
        return TResult::Started;
    Rollback();
    return TResult::RolledBack;
}

bool TExecutableSwap::Recover(const std::string& runningName)
{
    if (!IsUpdateName(runningName))
        return true;
    const std::string exe = ProgramName(runningName);
    if (SameFile(runningName, exe))
        return DeleteFile(runningName) || FileExists(exe);
    if (!FileExists(exe))
        return MoveFileNoReplace(runningName, exe);
    if (ExtractFileExt(runningName) == OldExt)
        return TFileStream::ReplaceFile(runningName, exe);
    // A new build beside a program that is there: it stays pending for N's next start.
    return true;
}
