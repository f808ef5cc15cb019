#pragma once

#include <QString>

// Texts of the command line, UTF-8, [row][language] like LangTexts. %1, %2 are filled by
// QString::arg.
enum TCommandText {
    ctHelp,
    ctUsage,
    ctUnknownOption,
    ctMissingValue,
    ctNoCommand,
    ctTwoCommands,
    ctMissingTarget,
    ctTargetUnavailable,
    ctTargetMissing,
    ctBadLang,
    ctBadFormat,
    ctTwoSources,
    ctNoLast,
    ctUnknownItems,
    ctUnavailableItems,
    ctRadioClash,
    ctNothingSelected,
    ctSelectionUnreadable,
    ctSelectionTooLarge,
    ctSelectionBinary,
    ctSelectionFormat,
    ctSelectionSaved,
    ctSelectionNotSaved,
    ctCatalogueError,
    ctInstalling,
    ctCancelling,
    ctCancelled,
    ctChangedFiles,
    ctOverwriteQuestion,
    ctNotOverwritten,
    ctAskYes,
    ctStateChecked,
    ctStateUnchecked,
    ctStateGrayed,
    ctStateNoBox,
    ctStateUnavailable,
    ctLoadedPartly,
    ctLoadedUnknown,
    ctLoadedUnavailable,
    ctLoadedClash,
    ctSaveSelection,
    ctLoadSelection,
    ctSelectionFilter,
    CommandTextRows
};

extern const char* const CommandTexts[CommandTextRows][2];

// The row in the current language (LangIndex).
QString CommandText(TCommandText row);
