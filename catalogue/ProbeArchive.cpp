#include "catalogue/ProbeArchive.h"

#include "app/LangTexts.h"
#include "app/ShellState.h"
#include "archive/ArchiveBinding.h"
#include "archive/ItemPathCheck.h"
#include "archive/WideText.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TPathResolver.h"

#include <QString>

namespace {
// The names are read from the headers the open has already parsed: no data is unpacked.
void ReadFileNames(I7zReader& reader, uint32_t count, std::vector<std::string>& files)
{
    files.clear();
    files.reserve(count);
    std::wstring relative;
    for (uint32_t i = 0; i < count; ++i) {
        if (reader.ItemIsFolder(i) || !MakeSafeRelativePath(reader.ItemPath(i), relative) || relative.empty())
            continue;
        files.push_back(WideToSystem(relative));
    }
}
}

TProbeResult ProbeArchive(const std::string& path, std::vector<std::string>* files)
{
    // Catalogue names are text from whoever packed the mods: "../" or an absolute name
    // must not make the probe open files elsewhere.
    std::string file;
    if (!TPathResolver::ResolveInside(ProgramFolder(), path, file) || !FileExists(file))
        return {false, 1};

    TGUID formatId{};
    if (!FormatIdForExtension(ExtractFileExt(file), formatId))
        return {false, 2};
    // A FIFO or device named like an archive would block or never end the open.
    if (!TPathResolver::IsRegularFile(file))
        return {false, 2};

    I7zReaderPtr reader = CreateArchiveReader(formatId, LibPath);
    TProbeResult result{false, 2};
    try {
        reader->OpenArchiveFile(file);
        const uint32_t count = reader->ItemCount();
        result = count > 0 ? TProbeResult{true, 0} : TProbeResult{false, 3};
        if (count > 0 && files)
            ReadFileNames(*reader, count, *files);
    } catch (...) {
        // Whatever the library or the file does wrong, the archive is just not usable.
    }
    reader.Reset();
    return result;
}

QString ProbeNote(std::uint16_t code, const QString& text)
{
    int prefix = 0;
    switch (code) {
    case 1: prefix = 17; break;
    case 2: prefix = 19; break;
    case 3: prefix = 21; break;
    default: return text;
    }
    return QString::fromUtf8(LangText(prefix)) + text + QString::fromUtf8(LangText(prefix + 1));
}
