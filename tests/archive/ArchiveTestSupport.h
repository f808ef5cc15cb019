#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/THostStream.h"

namespace archtest {

// A fresh folder under the temporary path, removed when dropped.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return Dir; }  // ends in '/'
    std::string operator/(const std::string& name) const { return Dir + name; }

private:
    std::string Dir;
};

// What a progress sink saw: the total, the last value, and whether a value ever went back.
struct TProgressLog {
    std::atomic<uint64_t> Total{0};
    std::atomic<uint64_t> Last{0};
    std::atomic<int> Calls{0};
    std::atomic<bool> Decreased{false};
    int32_t StopAfter = -1;  // answer E_ABORT from this call on

    // Records one call; returns its number, from 0.
    int Note(bool isTotal, uint64_t value);
    // The sink's answer to call number call.
    int32_t Answer(int call) const;
};

// The text of the archive error f raises, "<no error>" when none.
std::string ErrorOf(const std::function<void()>& f);

std::string LibraryPath();                 // the real 7z.so
std::string FakeLibraryPath(const char* which);
// Runs a shell command; false when it did not exit with 0.
bool Run(const std::string& command);
std::string Quote(const std::string& s);
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
// Regular files below root by relative path, with their contents.
std::map<std::string, std::string> ReadTree(const std::string& root);
// Every entry below root (files, folders, links) by relative path.
std::vector<std::string> ListEntries(const std::string& root);
// A source tree: nested folders, compressible text, incompressible bytes, an empty file,
// a non-ASCII name, an empty folder.
void MakeSampleTree(const std::string& root);
// The archive of srcDir's contents made by the 7z CLI with the given switches.
void Make7zArchive(const std::string& archive, const std::string& srcDir, const std::string& switches);
// What `7z x` extracts from archive into a fresh folder below scratch.
std::map<std::string, std::string> CliExtract(const std::string& archive, const std::string& scratch);
void CraftZip(const std::string& kind, const std::string& out);
// Flips the byte at offset (negative: from the end).
void FlipByte(const std::string& path, int64_t offset);
bool IsMapped(const std::string& path);      // in this process's memory map
bool IsOpenHere(const std::string& path);    // one of this process's open files
int OpenCountHere(const std::string& path);  // how many of this process's descriptors

// A growable in-memory host stream.
class TMemoryStream : public THostStream {
public:
    uint32_t Read(void* data, uint32_t size) override;
    void Write(const void* data, uint32_t size) override;
    uint64_t Seek(int64_t offset, uint32_t origin) override;
    uint64_t Size() override { return Data.size(); }
    void SetSize(uint64_t size) override { Data.resize(size); }
    std::string Data;
    uint64_t Pos = 0;
};

}  // namespace archtest
