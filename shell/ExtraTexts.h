#pragma once

#include <QString>

// Texts of the install record's controls (uninstall, last selection, conflict note), UTF-8,
// [row][language] like LangTexts, beside its fixed rows. %1, %2, %3 are filled by QString::arg.
enum TExtraText {
    etUninstallButton,
    etUninstallQuestion,
    etUninstallDone,
    etRemoved,
    etRestored,
    etKept,
    etKeptHeading,
    etFailed,
    etFailedHeading,
    etUnrecorded,
    etNothingRecorded,
    etRecordDamaged,
    etRecordNewer,
    etRestoreSelection,
    etConflict,
    etConflictMore,
    etFilesOne,
    etFilesFew,
    etFilesMany,
    etFolderBusy,
    etOutside,
    etOutsideHeading,
    etSpaceNeeded,
    etSpaceFree,
    etSpaceShort,
    etReadOnlyTarget,
    etGameRunning,
    etSizeUnits,
    ExtraTextRows
};

extern const char* const ExtraTexts[ExtraTextRows][2];

// The row in the current language (LangIndex).
QString ExtraText(TExtraText row);
// A byte count in the unit that suits it ("12.3 MB"), in the current language.
QString SizeText(unsigned long long bytes);
// "%1 files" with the noun in the form the number asks for in the current language.
QString FilesCountText(unsigned long long count);
