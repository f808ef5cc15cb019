#pragma once

#include <memory>
#include <string>

#include "platform/THostStream.h"

// An unbuffered file stream: every Read and Write is one system call, so a caller that
// already holds large blocks pays no copy.
class TFileStream final : public THostStream {
public:
    // Read-only; other openers may read and write the file meanwhile. nullptr on failure.
    static std::unique_ptr<TFileStream> OpenRead(const std::string& path);
    // Read-write, created or emptied. nullptr on failure.
    static std::unique_ptr<TFileStream> Create(const std::string& path);
    // A new file of a unique name in folder (which ends in the delimiter), readable and
    // writable by this process only until it is renamed; its path goes to tempPath.
    static std::unique_ptr<TFileStream> CreateTemp(const std::string& folder, std::string& tempPath);

    // An existing regular file (not a link, not a folder), read-only; its size goes to size.
    // nullptr when there is none.
    static std::unique_ptr<TFileStream> OpenExistingFile(const std::string& path, uint64_t& size);
    // A file without a name in folder ("" is the current folder), readable and writable;
    // it disappears with the last descriptor, so a process that dies leaves nothing.
    // Path() opens the same file again while the stream lives. nullptr on failure.
    static std::unique_ptr<TFileStream> CreateUnnamed(const std::string& folder);
    // A new file without a name in folder, with the mode a plain create would give, to be
    // named by LinkAs once it is complete; nullptr where the file system has no such files.
    static std::unique_ptr<TFileStream> CreateLinkable(const std::string& folder);

    // Renames from over to, replacing a file there. False when it failed.
    static bool ReplaceFile(const std::string& from, const std::string& to);
    // True when path is a file that nobody may write: no write permission bit is set, or
    // this process may not write it.
    static bool IsReadOnlyFile(const std::string& path);
    // The system's text for the last failed call of this class.
    static std::string LastErrorText();
    // The error number (errno) of that call.
    static int LastErrorCode();

    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    uint32_t Read(void* data, uint32_t size) override;
    void Write(const void* data, uint32_t size) override;
    uint64_t Seek(int64_t offset, uint32_t origin) override;
    uint64_t Size() override;
    void SetSize(uint64_t size) override;
    // Reads up to size bytes at offset without moving the position, only from what the
    // system holds in memory: false when the range would have to come from the disk.
    // got is short only at the end of the file.
    bool ReadCachedAt(void* data, uint32_t size, uint64_t offset, uint32_t& got);
    // Appends the first bytes of source at the current position.
    void CopyFrom(TFileStream& source, uint64_t bytes);
    // Closes the file, raising when the system reports a failure (a late write error).
    void Close();
    // Gives a file from CreateLinkable the name path. False, and nothing changed, when
    // something is there already or no name can be given this way.
    bool LinkAs(const std::string& path);
    const std::string& Path() const { return FilePath; }

private:
    TFileStream(int fd, std::string path);
    [[noreturn]] void Fail(const char* what) const;

    int Fd;
    std::string FilePath;
};
