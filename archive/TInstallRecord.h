#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One installation into a folder: when, how it ended, where it came from, what was ticked.
struct TRecordInstall {
    std::string Time;           // UTC, "2026-12-08T23:50:00Z"
    std::string Status;         // "running" until it ends: "complete", "failed", "cancelled"
    std::string ProgramFolder;  // canonical, ending in the delimiter
    std::vector<std::string> Archives;  // "Folder/archive.7z" below the program folder, in order
    // Folders below the target this installation made, parents first. Records written
    // before folders were recorded have none, and their uninstall removes no folder.
    std::vector<std::string> Folders;
};

// One file an installation put into the folder.
struct TRecordFile {
    uint64_t Size = 0;
    std::string Fingerprint;  // of the content (see TFileDigest); empty when the write was never confirmed: counts as changed
    bool HasBackup = false; // a file was there before: its copy lies in the backups
    std::string Archive;    // the archive that wrote it last, as in TRecordInstall
};

// What Setup did to one target folder, as kept between runs. A line-based text with a
// format number first and a checksum line last, so a damaged or cut file is recognised.
class TInstallRecord {
public:
    // 2: file fingerprints are XXH3-128; records of format 1 (SHA-256) are still read.
    static constexpr int FormatVersion = 2;
    // Bounds: the history of installations, the files recorded, the size of the text.
    static constexpr std::size_t MaxInstalls = 32;
    static constexpr std::size_t MaxFiles = 100000;
    static constexpr std::size_t MaxBytes = 64u << 20;

    std::string TargetFolder;  // canonical, without a trailing delimiter
    std::vector<TRecordInstall> Installs;  // oldest first
    std::map<std::string, TRecordFile> Files;  // by path below the target folder
    uint64_t Unrecorded = 0;  // files written while Files was full

    // Appends, dropping the oldest beyond MaxInstalls.
    void AddInstall(TRecordInstall install);
    std::string Format() const;
    // Raises ERecordError for a damaged or cut text, or one of a later format.
    static TInstallRecord Parse(const std::string& text);
};
