#include "update/SelfUpdateHooks.h"

#include "platform/ExecutablePath.h"
#include "platform/Paths.h"
#include "update/TExecutableSwap.h"
#include "update/TSelfUpdate.h"
#include "update/TThCheckUpd.h"

namespace {
IUpdateWindow* Window = nullptr;
}

void CleanUpAfterUpdate(const std::string& exeFileName)
{
    try {
        TSelfUpdate::CleanUp(exeFileName);
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

void SetUpdateWindow(IUpdateWindow* window)
{
    Window = window;
}

IUpdateWindow* UpdateWindow()
{
    return Window;
}
