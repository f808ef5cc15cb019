#pragma once

#include "shell/TFailReason.h"
#include "archive/IInstallControls.h"
#include "archive/tFilesArray.h"
#include "platform/TFolderLock.h"
#include "platform/TThread.h"

#include <memory>
#include <string>

class TInstallRecorder;

// The installation: extracts every archive of Files into TargetFolder and drives the
// progress page through synchronised calls. Sets InstallFinished when it ends, however it
// ends. The application's quit waits for it to leave the target in order.
class ThUnPackFiles : public TThread {
public:
    // Clears InstallFinished.
    ThUnPackFiles(bool createSuspended, const std::string& targetFolder, const tFilesArray& files,
                  std::shared_ptr<IInstallControls> controls);
    ~ThUnPackFiles() override;
    // Records what the installation writes; set before the thread starts. None: unrecorded.
    void SetRecorder(std::unique_ptr<TInstallRecorder> recorder);
    // The target folder's lock, held until the worker has ended.
    void SetTargetLock(TFolderLock lock);

    // Workers in being (a free-on-terminate worker leaves this count when it has ended).
    static int LiveCount();

    // The synchronised calls; they run on the main thread.
    void PrepareMainBar();
    void ResetFileBar();
    void StepMainBar();
    void ShowInstallDone();
    void ShowInstallError();

    const tFilesArray Files;
    const std::string TargetFolder;  // as the user typed it; the binding adds the delimiter

protected:
    void Execute() override;

private:
    void UnpackAll();
    // Keeps what the failure message's details will say.
    void NoteFailure(const std::string& item, TFailReason reason, const std::string& text);

    std::shared_ptr<IInstallControls> FControls;  // shared with the file bar updaters
    std::string FCurrentEntry;  // the archive being installed
    std::string FFailedItem;
    TFailReason FFailReason = TFailReason::Other;
    std::string FFailText;
    std::unique_ptr<TInstallRecorder> FRecorder;
    TFolderLock FTargetLock;
};
