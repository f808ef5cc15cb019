#pragma once

#include <string>

#include "update/IUpdateWindow.h"

// The self-update's part of the main window's start-up and its button.
// Deletes the previous executable left by an earlier update (start-up step). While another
// copy holds the program's folder, it tries again a little later.
void CleanUpAfterUpdate(const std::string& exeFileName);
// Completes a pending swap; true when the new build was started and this instance must quit.
bool CompletePendingUpdate(const std::string& exeFileName);
// Starts the background update check for the executable's bare file name.
void StartUpdateCheck(const std::string& exeFileName);
// The "Upgrade Setup..." button: download, unpack, swap, start the new build.
void RunUpdateDownload(IUpdateWindow& window);
// At the very start, before anything is started: takes over the start pipe of the build
// that started this one, if any.
void AdoptUpdateStartPipe();
// The first page is on the screen: tells the build that started this one.
void ConfirmUpdateStarted();
