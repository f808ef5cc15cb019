#include "update/TUpdatePackage.h"

#include "archive/ArchiveBinding.h"
#include "archive/ItemPathCheck.h"
#include "archive/WideText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFileStream.h"
#include "platform/TFolderListing.h"
#include "update/EUpdateError.h"

namespace {
bool IsOrIsBelow(const std::string& path, const std::string& name)
{
    return path == name || path.rfind(name + PathDelim, 0) == 0;
}

I7zReaderPtr OpenPackage(const std::string& archivePath, const std::string& libPath)
{
    TGUID formatId{};
    if (!FormatIdForExtension(".7z", formatId))
        throw EUpdateError("unknown package format");
    I7zReaderPtr reader = CreateArchiveReader(formatId, libPath);
    reader->OpenArchiveFile(archivePath);
    return reader;
}
}

TUpdatePackage::TUpdatePackage(const std::string& programFolder, const std::string& exeFileName)
    : FFolder(programFolder),
      FExe(exeFileName),
      FNew(ChangeFileExt(exeFileName, ".newupdate")),
      FOld(ChangeFileExt(exeFileName, ".oldupdate")),
      FStaging("." + FNew + ".part")
{
}

std::string TUpdatePackage::StagingFolder() const
{
    return FFolder + FStaging;
}

void TUpdatePackage::CheckItems(const std::string& archivePath, const std::string& libPath)
{
    I7zReaderPtr reader = OpenPackage(archivePath, libPath);
    const uint32_t count = reader->ItemCount();
    if (count == 0)
        throw EUpdateError("the package is empty");
    bool haveNewBuild = false;
    for (uint32_t i = 0; i < count; ++i) {
        const std::wstring itemPath = reader->ItemPath(i);
        std::wstring wideRelative;
        if (!MakeSafeRelativePath(itemPath, wideRelative))
            throw EUpdateError("the package item " + WideToSystem(itemPath) + " leads out of the folder");
        const std::string relative = WideToSystem(wideRelative);
        const bool folder = reader->ItemIsFolder(i);
        if (relative.empty()) {
            if (folder)
                continue;
            throw EUpdateError("the package holds a file without a name");
        }
        if (IsOrIsBelow(relative, FExe) || IsOrIsBelow(relative, FOld) || IsOrIsBelow(relative, FStaging))
            throw EUpdateError("the package item " + relative + " would replace the program");
        if (relative == FNew && !folder)
            haveNewBuild = true;
        else if (IsOrIsBelow(relative, FNew))
            throw EUpdateError("the package holds " + FNew + " as a folder");
    }
    if (!haveNewBuild)
        throw EUpdateError("the package holds no " + FNew);
    reader->CloseArchive();
}

void TUpdatePackage::Install(const std::string& archivePath, const std::string& libPath)
{
    Unpack(archivePath, libPath);
    Place();
}

void TUpdatePackage::Unpack(const std::string& archivePath, const std::string& libPath)
{
    RemoveLeftovers();
    CheckItems(archivePath, libPath);
    const std::string staging = StagingFolder() + PathDelim;
    if (!ForceDirectories(staging))
        throw EUpdateError("cannot create " + staging);
    try {
        {
            I7zReaderPtr reader = OpenPackage(archivePath, libPath);
            reader->ExtractAllToFolder(staging);
            reader->CloseArchive();
        }
        const std::string newBuild = staging + FNew;
        if (!FileExists(newBuild) || EntryExists(staging + FNew + PathDelim))
            throw EUpdateError("the package did not yield " + FNew);
    } catch (...) {
        RemoveLeftovers();
        throw;
    }
}

void TUpdatePackage::Place()
{
    const std::string staging = StagingFolder() + PathDelim;
    const std::string newBuild = staging + FNew;
    try {
        if (!FileExists(newBuild))
            throw EUpdateError("nothing unpacked to place");
        // Everything else first: once N.newupdate is there, a start may install it.
        MoveIntoPlace(staging, {});
        if (!TFileStream::ReplaceFile(newBuild, FFolder + FNew))
            throw EUpdateError("cannot place " + FNew);
    } catch (...) {
        RemoveLeftovers();
        throw;
    }
    RemoveLeftovers();
}

void TUpdatePackage::MoveIntoPlace(const std::string& from, const std::string& relative)
{
    for (const TFolderEntry& entry : ListFolder(from + relative)) {
        const std::string item = relative + entry.Name;
        if (item == FNew)
            continue;
        if (entry.IsFolder) {
            if (!ForceDirectories(FFolder + item))
                throw EUpdateError("cannot create " + FFolder + item);
            MoveIntoPlace(from, item + PathDelim);
        } else if (!TFileStream::ReplaceFile(from + item, FFolder + item)) {
            throw EUpdateError("cannot place " + FFolder + item);
        }
    }
}

void TUpdatePackage::RemoveLeftovers()
{
    DeleteTree(StagingFolder());
}
