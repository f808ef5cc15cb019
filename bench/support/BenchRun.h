#pragma once

#include <chrono>
#include <string>
#include <vector>

// One measured run: wall time, CPU time (user + system, all threads) and peak resident size.
struct TSample {
    double Wall = 0;
    double Cpu = 0;
    long PeakKb = 0;
};

// Seconds since t0.
double SecondsSince(std::chrono::steady_clock::time_point t0);

// Runs args to its end as a process of its own and measures it. Its standard output goes to
// output when given, else to /dev/null. Throws when it cannot start or does not exit with 0,
// so that callers unwind and their scratch folders go. The peak counts at least the caller's
// own resident size at the fork (the kernel keeps the larger), so callers spawn while small.
TSample RunChild(const std::vector<std::string>& args, std::string* output = nullptr);

// The sides of a comparison in the order round `round` runs them: each round starts one side
// later, so over the rounds no side always runs first or always follows the same one.
std::vector<int> RoundOrder(int round, int sides);

// The process's own CPU time so far, all threads.
double ProcessCpuSeconds();

// A command line for the shell, and its run; true on exit code 0.
std::string ShellQuote(const std::string& s);
bool Shell(const std::string& command);

// The load average over the last minute: printed beside the figures, since other programs
// on the machine move them.
double LoadAverage();
