#include "archive/TInstallRecord.h"

#include <algorithm>

#include "archive/ERecordError.h"
#include "archive/TFileDigest.h"

namespace {
const char* const Magic = "SetupInstallJournal";  // kept: stored records use it

// Fields are separated by TABs and records by LFs: both, and the escape itself, are escaped.
std::string Escape(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

[[noreturn]] void Damaged(const std::string& why)
{
    throw ERecordError(ERecordError::TKind::Damaged, "The install record is damaged: " + why);
}

std::string Unescape(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size())
            Damaged("a field ends in an escape");
        switch (s[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: Damaged("an unknown escape");
        }
    }
    return out;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

uint64_t ParseNumber(const std::string& s)
{
    if (s.empty() || s.size() > 19)
        Damaged("a number is malformed");
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            Damaged("a number is malformed");
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return v;
}

bool IsSafeRelative(const std::string& path)
{
    // The record names files to delete: nothing in it may point outside the folder.
    if (path.empty() || path.front() == '/' || path.back() == '/')
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string::npos)
            return false;
        start = slash + 1;
    }
    return true;
}
}  // namespace

void TInstallRecord::AddInstall(TRecordInstall install)
{
    Installs.push_back(std::move(install));
    if (Installs.size() > MaxInstalls)
        Installs.erase(Installs.begin(), Installs.end() - MaxInstalls);
}

std::string TInstallRecord::Format() const
{
    std::string body;
    body += std::string(Magic) + "\t" + std::to_string(FormatVersion) + "\n";
    body += "target\t" + Escape(TargetFolder) + "\n";
    body += "unrecorded\t" + std::to_string(Unrecorded) + "\n";
    for (const TRecordInstall& in : Installs) {
        body += "install\t" + Escape(in.Time) + "\t" + Escape(in.Status) + "\t" + Escape(in.ProgramFolder) + "\n";
        for (const std::string& a : in.Archives)
            body += "archive\t" + Escape(a) + "\n";
        for (const std::string& f : in.Folders)
            body += "folder\t" + Escape(f) + "\n";
    }
    for (const auto& [path, f] : Files) {
        body += "file\t" + Escape(path) + "\t" + std::to_string(f.Size) + "\t" + (f.Fingerprint.empty() ? "-" : f.Fingerprint) +
                "\t" + (f.HasBackup ? "1" : "0") + "\t" + Escape(f.Archive) + "\n";
    }
    const std::size_t records = static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n'));
    return body + "end\t" + std::to_string(records) + "\t" + TFileDigest::OfBytes(body) + "\n";
}

TInstallRecord TInstallRecord::Parse(const std::string& text)
{
    if (text.size() > MaxBytes)
        Damaged("it is larger than any record Setup writes");
    // The last record is the checksum of everything before it: a cut or changed text fails here.
    if (text.empty() || text.back() != '\n')
        Damaged("it is cut short");
    const std::size_t lastStart = text.rfind('\n', text.size() - 2);
    const std::size_t bodyEnd = lastStart == std::string::npos ? 0 : lastStart + 1;
    const std::string body = text.substr(0, bodyEnd);

    const std::size_t firstEnd = text.find('\n');
    const std::vector<std::string> head = SplitFields(text.substr(0, firstEnd));
    if (head.size() < 2 || head[0] != Magic)
        Damaged("it is not an install record");
    if (ParseNumber(head[1]) > static_cast<uint64_t>(FormatVersion))
        throw ERecordError(ERecordError::TKind::Newer, "The install record was written by a later Setup");

    const std::vector<std::string> end = SplitFields(text.substr(bodyEnd, text.size() - 1 - bodyEnd));
    if (end.size() != 3 || end[0] != "end")
        Damaged("it is cut short");
    const std::size_t records = static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n'));
    if (ParseNumber(end[1]) != records || end[2] != TFileDigest::OfBytes(body))
        Damaged("its checksum does not match");

    TInstallRecord j;
    bool haveTarget = false;
    std::size_t pos = firstEnd + 1;
    while (pos < body.size()) {
        const std::size_t nl = body.find('\n', pos);
        const std::vector<std::string> f = SplitFields(body.substr(pos, nl - pos));
        pos = nl + 1;
        const std::string& kind = f[0];
        if (kind == "target" && f.size() >= 2) {
            j.TargetFolder = f[1];
            haveTarget = true;
        } else if (kind == "unrecorded" && f.size() >= 2) {
            j.Unrecorded = ParseNumber(f[1]);
        } else if (kind == "install" && f.size() >= 4) {
            j.Installs.push_back(TRecordInstall{f[1], f[2], f[3], {}, {}});
        } else if (kind == "archive" && f.size() >= 2) {
            if (j.Installs.empty())
                Damaged("an archive outside an installation");
            j.Installs.back().Archives.push_back(f[1]);
        } else if (kind == "folder" && f.size() >= 2) {
            if (j.Installs.empty())
                Damaged("a folder outside an installation");
            if (!IsSafeRelative(f[1]))
                Damaged("a folder path leads out of the folder");
            j.Installs.back().Folders.push_back(f[1]);
        } else if (kind == "file" && f.size() >= 6) {
            if (!IsSafeRelative(f[1]))
                Damaged("a file path leads out of the folder");
            TRecordFile file;
            file.Size = ParseNumber(f[2]);
            file.Fingerprint = f[3] == "-" ? std::string() : f[3];
            file.HasBackup = f[4] == "1";
            file.Archive = f[5];
            j.Files[f[1]] = std::move(file);
        } else if (kind == "target" || kind == "unrecorded" || kind == "install" || kind == "archive" ||
                   kind == "folder" || kind == "file") {
            Damaged("a record has too few fields");
        }
        // Records of other kinds come from a later build of the same format: passed over.
    }
    if (!haveTarget)
        Damaged("it names no folder");
    if (j.Installs.size() > MaxInstalls || j.Files.size() > MaxFiles)
        Damaged("it holds more than Setup records");
    return j;
}
