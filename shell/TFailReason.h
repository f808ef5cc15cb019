#pragma once

#include <cstdint>

// Why an archive could not be installed, in terms a player can act on. Carried by
// EArchiveError so the installation can say more than that it failed.
enum class TFailReason : uint8_t {
    Other = 0,       // nothing more specific is known
    DataError,       // a CRC or data error: the archive is damaged
    Truncated,       // the archive ends before its data does (an interrupted download)
    SplitItem,       // an item continues in another volume of a multi-volume set
    UnsafePath,      // an item's path leads out of the destination folder
    Encrypted,       // an item needs a password, which is never asked for
    DiskFull,        // the target's file system is full
    ReadOnly,        // a file or folder of the target may not be written
    ArchiveMissing,  // the archive file is gone
    UnsupportedFeature,  // the library stopped at something it cannot read: items may be missing
};

// The reason behind a failed system call's error number (errno).
TFailReason FailReasonForSystemError(int error);

// The same for a failed write: the folder that was to hold the file may be missing,
// which is not a missing archive.
TFailReason FailReasonForWriteError(int error);
