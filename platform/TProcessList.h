#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One running process as /proc shows it.
struct TProcessInfo {
    int Pid = 0;
    std::string Exe;                 // the executable's path; empty when not readable
    std::vector<std::string> Args;   // the command line; empty when not readable
};

// The processes of the system, read from /proc.
class TProcessList {
public:
    // Every process but this one whose executable or command line can be read. Processes
    // that end meanwhile, kernel threads and those /proc keeps from us (another user's)
    // are left out. False when /proc itself cannot be read.
    static bool Snapshot(std::vector<TProcessInfo>& list);
    // A single process; false when it is gone or nothing of it can be read.
    static bool Read(int pid, TProcessInfo& info);
};
