#include "game/FileVersion.h"

#include "game/ElfVersionRecord.h"
#include "game/PeVersionRecord.h"
#include "game/TFileByteSource.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace {

std::string ResolveVersionFile(const std::string& path)
{
    if (path.empty() || path.find(PathDelim) != std::string::npos)
        return path;
    const std::string besideProgram = ProgramFolder() + path;
    if (FileExists(besideProgram))
        return besideProgram;
    return path;
}

bool ReadVersionRecord(const std::string& path, TFixedFileInfo& info)
{
    try {
        const std::string file = ResolveVersionFile(path);
        if (!FileExists(file))
            return false;
        const TFileByteSource source(file);
        unsigned char magic[4];
        if (!source.ReadAt(0, magic, sizeof magic))
            return false;
        if (magic[0] == 'M' && magic[1] == 'Z')
            return ReadPeVersionRecord(source, info);
        return ReadElfVersionRecord(source, info);
    } catch (...) {
        return false;  // neither routine reports errors: an unreadable file has no version
    }
}

}  // namespace

std::string GetFileVersionStr(const std::string& path)
{
    TFixedFileInfo info {};
    return ReadVersionRecord(path, info) ? FormatFileVersion(info) : "0.0.0.0";
}

int GetFileBuild(const std::string& path)
{
    TFixedFileInfo info {};
    return ReadVersionRecord(path, info) ? static_cast<int>(info.FileVersionLS & 0xFFFF) : 0;
}
