#pragma once

#include "platform/TThread.h"

#include <atomic>
#include <string>

// Asks the update server for its latest build; when it is newer than the running one,
// fills the notice and reveals the main window's "Upgrade Setup..." button. Every failure
// is silent and leaves the results empty.
class TThCheckUpd : public TThread {
public:
    TThCheckUpd(bool createSuspended, const std::string& fileName);

    // Checks whose body has ended in this process (tests wait on it).
    static int ChecksFinished();

protected:
    void Execute() override;

private:
    void Check();
    void ShowInfo();
    void ShowUpdateButton();

    std::string FFileName;
    std::string FUpdateInfo;

    static std::atomic<int> FFinished;
};
