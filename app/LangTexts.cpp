#include "app/LangTexts.h"

#include "platform/SystemInfo.h"

uint16_t LangIndex = 0;

const char* const LangTexts[LangTextRows][2] = {
    /* 0 */ {"Доступна новая версия программы \"", "A new version of the program available \""},
    /* 1 */ {"\". Обновить?", "\". Upgrade now?"},
    /* 2 */ {"Не удалось обновить программу. Недоступен целевой каталог.",
             "The failed to upgrade the program. Unavailable target directory."},
    /* 3 */ {"Не удалось обновить программу. Нет связи с сервером или недоступен целевой каталог.",
             "The failed to upgrade the program. No connection to the server  or the target directory is not available."},
    /* 4 */ {"Да", "Yes"},
    /* 5 */ {"Нет", "No"},
    /* 6 */ {"Версия:", "Version:"},
    /* 7 */ {"© OVK", "© OVK"},
    /* 8 */ {"Обновить Setup...", "Upgrade Setup..."},
    /* 9 */ {"< Назад", "< Back"},
    /* 10 */ {"Вперед >", "Next >"},
    /* 11 */ {"Выйти", "Exit"},
    /* 12 */ {"Готово", "Done"},
    /* 13 */ {"Выберите язык:", "Select a language:"},
    /* 14 */ {"Выберите файлы для установки:", "Select the files to be installed:"},
    /* 15 */ {"Скрывать недоступные файлы", "Hide inaccessible files"},
    /* 16 */ {"Анализ файлов...", "The files analysis..."},
    /* 17 */ {"Файл \"", "File \""},
    /* 18 */ {"\" не найден", "\" not found"},
    /* 19 */ {"Формат файла \"", "File \""},
    /* 20 */ {"\" не определен", "\" format is not known"},
    /* 21 */ {"Файл \"", "File \""},
    /* 22 */ {"\" пуст", "\" is empty"},
    /* 23 */ {"Файлы для установки не выбраны.", "Installation files are not selected."},
    /* 24 */ {"Установить в:", "Install in the folder:"},
    /* 25 */ {"Выбрать...", "Select..."},
    /* 26 */ {"Перезаписывать файлы при совпадении имен", "Overwrite files with the same name"},
    /* 27 */ {"Укажите путь к папке \"World_of_Tanks\\res_mods\\X.X.X\\\":",
              "Specify the path to the folder \"World_of_Tanks\\res_mods\\X.X.X\\\":"},
    /* 28 */ {"Указанная директория не доступна.", "The specified directory is not available."},
    /* 29 */ {"Установка:", "Installation:"},
    /* 30 */ {"Распаковка:", "Unpacking:"},
    /* 31 */ {"Прервать установку?", "Cancel install?"},
    /* 32 */ {"В процессе установки произошла ошибка. Установка не завершена. Для выхода из программы нажмите \"Выйти\".",
              "During installation, an error occurred. Installation is not complete. To exit the program, click \"Exit\"."},
    /* 33 */ {"Установка успешно завершена!", "Installation successful!"},
};

const char* LangText(int row)
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
