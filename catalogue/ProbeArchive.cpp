#include "catalogue/ProbeArchive.h"

#include "app/LangTexts.h"
#include "app/ShellState.h"
#include "archive/ArchiveBinding.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TPathResolver.h"

#include <QString>

TProbeResult ProbeArchive(const std::string& path)
{
    // Catalogue names are text from whoever packed the mods: "../" or an absolute name
    // must not make the probe open files elsewhere.
    std::string file;
    if (!TPathResolver::ResolveInside(ProgramFolder(), path, file))
        return {false, 1, FileExists(path)};
    if (!FileExists(file))
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
        result = reader->ItemCount() > 0 ? TProbeResult{true, 0} : TProbeResult{false, 3};
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
