#include "shell/LangTexts.h"

#include "platform/SystemInfo.h"

uint16_t LangIndex = 0;

const char* const LangTexts[LangTextRows][2] = {
    /* ltNewVersionPrefix */ {"Доступна новая версия программы \"", "A new version of the program available \""},
    /* ltNewVersionSuffix */ {"\". Обновить?", "\". Upgrade now?"},
    /* ltSwapFailed */ {"Не удалось обновить программу. Недоступен целевой каталог.",
             "The failed to upgrade the program. Unavailable target directory."},
    /* ltUpdateFailed */ {"Не удалось обновить программу. Нет связи с сервером или недоступен целевой каталог.",
             "The failed to upgrade the program. No connection to the server  or the target directory is not available."},
    /* ltYes */ {"Да", "Yes"},
    /* ltNo */ {"Нет", "No"},
    /* ltVersion */ {"Версия:", "Version:"},
    /* ltMakersMark */ {"© OVK", "© OVK"},
    /* ltUpgradeSetup */ {"Обновить Setup...", "Upgrade Setup..."},
    /* ltBack */ {"< Назад", "< Back"},
    /* ltNext */ {"Вперед >", "Next >"},
    /* ltExit */ {"Выйти", "Exit"},
    /* ltDone */ {"Готово", "Done"},
    /* ltSelectLanguage */ {"Выберите язык:", "Select a language:"},
    /* ltSelectFiles */ {"Выберите файлы для установки:", "Select the files to be installed:"},
    /* ltHideInaccessible */ {"Скрывать недоступные файлы", "Hide inaccessible files"},
    /* ltFilesAnalysis */ {"Анализ файлов...", "The files analysis..."},
    /* ltNotFoundPrefix */ {"Файл \"", "File \""},
    /* ltNotFoundSuffix */ {"\" не найден", "\" not found"},
    /* ltUnknownFormatPrefix */ {"Формат файла \"", "File \""},
    /* ltUnknownFormatSuffix */ {"\" не определен", "\" format is not known"},
    /* ltEmptyPrefix */ {"Файл \"", "File \""},
    /* ltEmptySuffix */ {"\" пуст", "\" is empty"},
    /* ltNothingSelected */ {"Файлы для установки не выбраны.", "Installation files are not selected."},
    /* ltInstallIn */ {"Установить в:", "Install in the folder:"},
    /* ltChooseFolder */ {"Выбрать...", "Select..."},
    /* ltOverwrite */ {"Перезаписывать файлы при совпадении имен", "Overwrite files with the same name"},
    /* ltFolderDialogTitle */ {"Укажите путь к папке \"World_of_Tanks\\res_mods\\X.X.X\\\":",
              "Specify the path to the folder \"World_of_Tanks\\res_mods\\X.X.X\\\":"},
    /* ltFolderUnavailable */ {"Указанная директория не доступна.", "The specified directory is not available."},
    /* ltInstallation */ {"Установка:", "Installation:"},
    /* ltUnpacking */ {"Распаковка:", "Unpacking:"},
    /* ltCancelInstall */ {"Прервать установку?", "Cancel install?"},
    /* ltInstallFailed */ {"В процессе установки произошла ошибка. Установка не завершена. Для выхода из программы нажмите \"Выйти\".",
              "During installation, an error occurred. Installation is not complete. To exit the program, click \"Exit\"."},
    /* ltInstallSuccessful */ {"Установка успешно завершена!", "Installation successful!"},
};

const char* LangText(TLangText row)
{
    if (row < 0 || row >= LangTextRows)
        return "";
    return LangTexts[row][LangIndex == 0 ? 0 : 1];
}

bool IsRussianSystem()
{
    try {
        return GetSystemDefaultLangID() == 0x0419;
    } catch (...) {
        return false;
    }
}
