#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/TCommandLine.h"
#include "catalogue/TArchiveListings.h"
#include "catalogue/TRadioState.h"

class QString;
class TTreeNodes;

// The command line's modes without a window: list, install, uninstall, save a selection.
// The same catalogue builder, worker, locks and install record as the wizard.
class TCommandRunner {
public:
    enum TExitCode { ExitSuccess = 0, ExitFailed = 1, ExitUsage = 2, ExitCancelled = 3 };

    // startFolder: the folder the program was started in; relative paths given on the
    // command line are taken against it.
    TCommandRunner(const TCommandOptions& options, const std::string& startFolder);
    ~TCommandRunner();

    // Parses, runs and answers the exit code; a QCoreApplication must exist.
    static int Main(int argc, char** argv, const std::string& startFolder);
    int Run();

private:
    int List();
    int Install();
    int Uninstall();
    int SaveOnly();
    // Raises what the builder raises (a catalogue or library error).
    void BuildCatalogue(bool hideInaccessible);
    // The items asked for, checked against the catalogue and ticked in the tree as the
    // tree ticks them. Raises EUsageError.
    std::vector<std::string> ResolveSelection();
    bool SaveSelectionFile(const std::vector<std::string>& items);
    // False when the player's changes would be overwritten and the answer is no.
    bool ConfirmOverwrite(const std::string& target, const std::vector<std::string>& items);
    // Asks on a terminal; --yes answers yes, no terminal gives withoutTerminal.
    bool Ask(const QString& question, bool withoutTerminal) const;
    int RunInstaller(const std::string& target, const std::vector<std::string>& items, class TFolderLock lock);
    std::string Absolute(const std::string& path) const;

    TCommandOptions FOptions;
    std::string FStartFolder;
    std::unique_ptr<TTreeNodes> FNodes;
    TRadioStates FRadioStates;
    TArchiveListings FListings;
};
