#pragma once

#include <string>
#include <vector>

// A fresh folder under the temporary path, removed with everything in it at the end.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& Path() const { return Root; }  // no trailing delimiter

private:
    std::string Root;
};

void WriteFileBytes(const std::string& path, const std::string& bytes);  // creates parents
std::string ReadFileBytes(const std::string& path);

// A PE executable linked by binutils-mingw-w64 from a resource script (may be "" for none).
std::string MakePeFile(const std::string& folder, const std::string& name, const std::string& rcText);
// A resource script with a VERSIONINFO of the given file version.
std::string VersionRc(int major, int minor, int release, int build);

// Builds Wine-prefix registry files as Wine writes them.
class TWineRegFile {
public:
    explicit TWineRegFile(bool userHive);
    // A key line; name is the key's path with single backslashes.
    TWineRegFile& Key(const std::string& name);
    // A string value (REG_SZ, or str(N): when type is not 1); "" names the default value.
    TWineRegFile& String(const std::string& name, const std::string& utf8, int type = 1);
    TWineRegFile& Raw(const std::string& line);  // a line as it stands
    const std::string& Text() const { return Content; }

private:
    std::string Content;
};
// Wine's escaping of a UTF-8 string for a .reg file: \\ \" and \x for non-ASCII.
std::string WineEscape(const std::string& utf8);

// A prefix at folder: drive_c/ and dosdevices/c: -> ../drive_c, as wineboot makes it.
void MakeWinePrefix(const std::string& folder);
