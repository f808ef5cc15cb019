#pragma once

#include <string>

// Starts a program detached, by the path given (a bare name is taken relative to the
// current folder, never looked up through PATH). Returns false when it could not start.
bool StartProgramDetached(const std::string& path);
// The same, handing handFd down as descriptor asFd (handFd must differ from it) and
// naming it in the environment variable variable.
bool StartProgramDetached(const std::string& path, int handFd, int asFd, const std::string& variable);
// Starts a shell script detached with /bin/sh, output discarded.
bool StartShellScriptDetached(const std::string& scriptPath);
