#pragma once

#include <QStringList>

#include <string>

// A program folder of its own in a fresh temporary folder, with the archive library
// copied beside it as the staged Setup.dll would be.
class TCatalogueFolder {
public:
    TCatalogueFolder();
    ~TCatalogueFolder();
    TCatalogueFolder(const TCatalogueFolder&) = delete;
    TCatalogueFolder& operator=(const TCatalogueFolder&) = delete;

    std::string Root;     // removed at the end
    std::string Program;  // ends in '/'

    // Writes bytes to Program + relative, making the folders on the way.
    void Write(const std::string& relative, const std::string& bytes) const;
    void WriteCatalogue(const std::string& bytes) const { Write("Setup.conf", bytes); }
    // A real archive made by the 7z tool (7z or zip by extension) with one small file.
    void Archive(const std::string& relative) const;
    // An archive of the right format holding no items.
    void EmptyArchive(const std::string& relative) const;
    // A real archive whose signature header is broken.
    void DamagedArchive(const std::string& relative) const;
    void Folder(const std::string& relative) const;
};

// Runs the 7z tool; false when it fails.
bool Run7z(const QStringList& args, const std::string& cwd);
