#include "catalogue/TModPreviewFiles.h"

#include "catalogue/TCatalogueText.h"
#include "platform/Paths.h"
#include "platform/TFolderSearch.h"
#include "platform/TPathResolver.h"
#include "platform/TReadOnlyFile.h"

#include <QByteArray>

#include <exception>
#include <vector>

namespace {
std::string FileBeside(const std::string& folder, const std::string& base, const char* ext)
{
    const std::string name = TFolderSearch::MatchName(folder, base + ext);
    if (name.empty())
        return {};
    const std::string path = folder + name;
    return TPathResolver::IsRegularFile(path) ? path : std::string();
}
}

TModPreviewFiles TModPreviewFiles::Find(const std::string& archivePath)
{
    TModPreviewFiles r;
    const std::string folder = ExtractFilePath(archivePath);
    std::string base = ExtractFileName(archivePath);
    base.erase(base.size() - ExtractFileExt(base).size());
    if (base.empty())
        return r;
    for (const char* ext : {".png", ".jpg", ".jpeg"}) {
        r.Picture = FileBeside(folder, base, ext);
        if (!r.Picture.empty())
            break;
    }
    r.Text = FileBeside(folder, base, ".txt");
    return r;
}

bool TModPreviewFiles::ReadText(const std::string& path, QString& text)
{
    text.clear();
    try {
        TReadOnlyFile file(path);
        const bool cut = file.Size() > MaxTextBytes;
        QByteArray bytes(static_cast<qsizetype>(cut ? MaxTextBytes : file.Size()), '\0');
        if (!bytes.isEmpty() && !file.ReadAt(0, bytes.data(), static_cast<size_t>(bytes.size())))
            return false;
        if (cut) {
            // A UTF-8 sequence cut at the end would make the whole text look like Windows-1251.
            qsizetype end = bytes.size();
            qsizetype back = 0;
            while (back < 3 && end - back > 0 && (static_cast<unsigned char>(bytes[end - back - 1]) & 0xC0) == 0x80)
                ++back;
            if (end - back > 0 && static_cast<unsigned char>(bytes[end - back - 1]) >= 0xC0)
                bytes.truncate(end - back - 1);
        }
        text = TCatalogueText::Decode(bytes).trimmed();
        if (cut)
            text += QChar(0x2026);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
