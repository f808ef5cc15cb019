#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// A command line that cannot be carried out as given; the text is for the user.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the command line asks for.
struct TCommandOptions {
    enum class TCommand { None, Help, List, Install, Uninstall, SaveSelection };
    TCommand Command = TCommand::None;
    std::string Target;
    bool HasTarget = false;
    std::vector<std::string> Select;  // --select items, in order
    bool HasSelect = false;
    std::string SelectionFile;
    bool Last = false;
    std::string SaveSelection;  // --save-selection file
    bool Json = false;
    int Lang = -1;  // -1: the environment's
    bool Yes = false;
};

// Reads Setup's own options. Qt's options (-platform and the like) belong to the window.
class TCommandLine {
public:
    // Whether the arguments ask for a command-line mode rather than the window: any
    // argument that looks like an option and is not one of Qt's.
    static bool Wanted(int argc, char** argv);
    // Raises EUsageError, with texts in the language --lang names if it was read already.
    static TCommandOptions Parse(const std::vector<std::string>& args);
    // The --lang value, read ahead so usage errors speak it; -1 when absent or bad.
    static int LangOf(const std::vector<std::string>& args);
};
