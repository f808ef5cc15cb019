#pragma once

#include <cstdint>

// The rows of the interface texts table, in table order. Prefix and suffix rows wrap a
// variable part (a version, a file name).
enum TLangText : int {
    ltNewVersionPrefix,       // the update notice's question, around the new version
    ltNewVersionSuffix,
    ltSwapFailed,             // replacing the executable at start-up failed
    ltUpdateFailed,           // the update download failed
    ltYes,                    // notice buttons
    ltNo,
    ltVersion,                // LCopy: "Version:" ... maker's mark
    ltMakersMark,
    ltUpgradeSetup,           // BUpdate
    ltBack,                   // BBack
    ltNext,                   // BNext
    ltExit,                   // BCancel
    ltDone,                   // BCancel after a successful installation
    ltSelectLanguage,         // LChLang
    ltSelectFiles,            // LChFiles
    ltHideInaccessible,       // CBEmptyFilesHide
    ltFilesAnalysis,          // PFilesAnalyz
    ltNotFoundPrefix,         // catalogue notes: prefix, file name, suffix
    ltNotFoundSuffix,
    ltUnknownFormatPrefix,
    ltUnknownFormatSuffix,
    ltEmptyPrefix,
    ltEmptySuffix,
    ltNothingSelected,        // Next on the files page with nothing checked
    ltInstallIn,              // LChDir
    ltChooseFolder,           // BChDir
    ltOverwrite,              // CBRWFiles
    ltFolderDialogTitle,
    ltFolderUnavailable,      // the target folder cannot be made
    ltInstallation,           // LMainProgress
    ltUnpacking,              // LFileProgress
    ltCancelInstall,          // Exit while installing
    ltInstallFailed,
    ltInstallSuccessful,      // LUPCancel
    LangTextRows
};
static_assert(LangTextRows == 34, "the texts table has 34 rows");

// The interface texts, UTF-8, [row][language]; language 0 Russian, 1 English.
extern const char* const LangTexts[LangTextRows][2];
extern uint16_t LangIndex;

// The text of a row in the current language.
const char* LangText(TLangText row);
// True when the system's default language is Russian (Russia), 0x0419 exactly.
bool IsRussianSystem();
