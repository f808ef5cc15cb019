#pragma once

#include <string>

// Unpacks the update package beside the program so that a package refused for any reason
// leaves nothing a later start would install: everything goes into a hidden folder first,
// is checked whole, and only then moves beside the program, the new build N.newupdate last.
class TUpdatePackage {
public:
    // programFolder ends in the delimiter; exeFileName is the bare N.
    TUpdatePackage(const std::string& programFolder, const std::string& exeFileName);

    // The hidden folder beside the program that holds an unpacking under way.
    std::string StagingFolder() const;
    // Unpacks archivePath (a 7z file) through the archive library at libPath. Raises
    // EUpdateError or EArchiveError; N.newupdate then did not appear.
    void Install(const std::string& archivePath, const std::string& libPath);
    // Install in two steps: the slow unpacking into the hidden folder, which touches
    // nothing a start looks at, and the quick placing beside the program.
    void Unpack(const std::string& archivePath, const std::string& libPath);
    void Place();
    // Removes what an unpacking that was cut short left behind.
    void RemoveLeftovers();

private:
    // Every item lands below the program's folder, none takes the place of the running
    // program or of its update names, and the new build is a file at the root.
    void CheckItems(const std::string& archivePath, const std::string& libPath);
    void MoveIntoPlace(const std::string& from, const std::string& relative);

    std::string FFolder;
    std::string FExe;
    std::string FNew;
    std::string FOld;
    std::string FStaging;
};
