#include "BenchExtract.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "archive/ArchiveBinding.h"

int ExtractOnce(const std::string& library, const std::string& archive, const std::string& folder)
{
    try {
        TGUID id{};
        if (!FormatIdForExtension(std::filesystem::path(archive).extension().string(), id))
            return 2;
        I7zReaderPtr reader = CreateArchiveReader(id, library);
        reader->OpenArchiveFile(archive);
        reader->ExtractAllToFolder(folder);
        reader->CloseArchive();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
