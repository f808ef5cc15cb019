#include "GameFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TTempFolder::TTempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "setup-game-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    Root = pattern;
}

TTempFolder::~TTempFolder()
{
    std::error_code ec;
    fs::remove_all(Root, ec);
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {
void Run(const std::string& command)
{
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}
}  // namespace

std::string MakePeFile(const std::string& folder, const std::string& name, const std::string& rcText)
{
    const std::string base = folder + "/" + name;
    WriteFileBytes(base + ".s", ".text\n.globl start\nstart:\n  ret\n");
    Run(std::string(MINGW_AS) + " '" + base + ".s' -o '" + base + ".code.o'");
    std::string objects = "'" + base + ".code.o'";
    if (!rcText.empty()) {
        WriteFileBytes(base + ".rc", rcText);
        Run(std::string(MINGW_WINDRES) + " --preprocessor=cat -O coff -i '" + base + ".rc' -o '" + base + ".res.o'");
        objects += " '" + base + ".res.o'";
    }
    Run(std::string(MINGW_LD) + " -e start -o '" + base + "' " + objects);
    return base;
}

std::string VersionRc(int major, int minor, int release, int build)
{
    std::ostringstream rc;
    rc << "1 VERSIONINFO\nFILEVERSION " << major << ',' << minor << ',' << release << ',' << build
       << "\nPRODUCTVERSION 9,9,9,9\nFILEFLAGSMASK 0x3f\nFILEOS 0x40004\nFILETYPE 1\nBEGIN\n"
       << "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904B0\"\n    BEGIN\n"
       << "      VALUE \"FileVersion\", \"" << major << '.' << minor << '.' << release << '.' << build
       << "\"\n    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n"
       << "  END\nEND\n";
    return rc.str();
}

std::string WineEscape(const std::string& utf8)
{
    std::u16string units;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            cp = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += 1 + extra;
        if (cp >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp);
        }
    }
    std::string out;
    char buf[16];
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u == '\\' || u == '"') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == '\n') {
            out += "\\n";
        } else if (u > 127) {
            // Wine writes four digits when a hex digit follows, so it cannot be misread.
            const bool hexNext = i + 1 < units.size() && units[i + 1] < 128 && std::isxdigit(units[i + 1]);
            std::snprintf(buf, sizeof buf, hexNext ? "\\x%04x" : "\\x%x", static_cast<unsigned>(u));
            out += buf;
        } else {
            out += static_cast<char>(u);
        }
    }
    return out;
}

TWineRegFile::TWineRegFile(bool userHive)
{
    Content = "WINE REGISTRY Version 2\n";
    Content += userHive ? ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
                        : ";; All keys relative to \\\\Machine\n";
    Content += "\n#arch=win64\n";
}

TWineRegFile& TWineRegFile::Key(const std::string& name)
{
    Content += "\n[" + WineEscape(name) + "] 1700000000\n#time=1da0c3d2e4f5a60\n";
    return *this;
}

TWineRegFile& TWineRegFile::String(const std::string& name, const std::string& utf8, int type)
{
    Content += name.empty() ? "@=" : "\"" + WineEscape(name) + "\"=";
    if (type != 1)
        Content += "str(" + std::to_string(type) + "):";
    Content += "\"" + WineEscape(utf8) + "\"\n";
    return *this;
}

TWineRegFile& TWineRegFile::Raw(const std::string& line)
{
    Content += line + "\n";
    return *this;
}

void MakeWinePrefix(const std::string& folder)
{
    fs::create_directories(folder + "/drive_c/windows/system32");
    fs::create_directories(folder + "/dosdevices");
    fs::create_directory_symlink("../drive_c", folder + "/dosdevices/c:");
    fs::create_directory_symlink("/", folder + "/dosdevices/z:");
}
