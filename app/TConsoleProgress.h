#pragma once

#include "archive/IInstallControls.h"
#include "archive/tFilesArray.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

// The progress page on standard error: on a terminal one line redrawn in place (a bar, the
// archive's number and name), otherwise a plain line per archive.
class TConsoleProgress : public IInstallControls {
public:
    // names: the catalogue paths of the archives, in installation order.
    TConsoleProgress(std::vector<std::string> names, bool terminal);

    int BarMax(TBar bar) const override;
    int BarPosition(TBar bar) const override;
    void SetBarRange(TBar bar, int max) override;
    void SetBarPosition(TBar bar, int position) override;
    void ShowDonePage() override;
    void SetCancelCaption(const QString&) override {}
    void SetSystemMenu(bool) override {}
    void ShowFailure(const QString& text, const QString& details) override;

    bool Done() const { return FDone; }
    bool Failed() const { return FFailed; }
    // Ends a line redrawn in place, before other text goes to standard error.
    void EndLine();

private:
    void ArchiveStarted(int index);
    void Draw(bool force);

    std::vector<std::string> FNames;
    bool FTerminal;
    int FMax[2] = {0, 1};
    int FPos[2] = {0, 0};
    int FStarted = -1;
    bool FLineOpen = false;
    std::chrono::steady_clock::time_point FLastDraw;
    std::atomic<bool> FDone{false};
    std::atomic<bool> FFailed{false};
};
