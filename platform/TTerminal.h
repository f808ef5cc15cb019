#pragma once

#include <string>

// The process's standard streams as a terminal program sees them.
class TTerminal {
public:
    // Standard input, output or error (0, 1, 2) is a terminal.
    static bool IsTerminal(int fd);
    // Columns of the terminal on standard error; 80 when unknown.
    static int Columns();
    // Writes the whole text to standard error or output, unbuffered.
    static void WriteErr(const std::string& text);
    static void WriteOut(const std::string& text);
    // One line from standard input, without its line end; false at its end.
    static bool ReadLine(std::string& line);
};
