#include "app/CommandTexts.h"

#include "shell/LangTexts.h"

const char* const CommandTexts[CommandTextRows][2] = {
    /* ctHelp */
    {"Использование: Setup [команда] [параметры]\n"
     "Без команды Setup открывает свое окно.\n"
     "\n"
     "Команды:\n"
     "  --list                    каталог: путь, состояние, группа выбора, размер после распаковки\n"
     "  --install --target ПАПКА  установить в ПАПКУ (создается, если ее нет)\n"
     "  --uninstall --target ПАПКА  удалить установленное Setup из ПАПКИ\n"
     "  --save-selection ФАЙЛ     записать выбор в ФАЙЛ (также вместе с --install)\n"
     "  --help                    эта справка\n"
     "\n"
     "Параметры:\n"
     "  --select ЭЛЕМЕНТ,...      элементы каталога по пути, например Crosshairs/Crosshair-A.7z\n"
     "  --selection ФАЙЛ          элементы из файла выбора\n"
     "  --last                    выбор последней установки из папки программы\n"
     "                            (без этих трех: отметки каталога по умолчанию)\n"
     "  --format=text|json        вид вывода --list\n"
     "  --lang en|ru              язык текстов\n"
     "  --yes                     отвечать \"да\" на все вопросы\n"
     "\n"
     "Коды выхода: 0 успех, 1 ошибка установки, 2 ошибка в командной строке, 3 прервано.\n",
     "Usage: Setup [command] [options]\n"
     "Without a command Setup opens its window.\n"
     "\n"
     "Commands:\n"
     "  --list                    the catalogue: path, state, radio group, unpacked size\n"
     "  --install --target DIR    install into DIR (made when missing)\n"
     "  --uninstall --target DIR  take back what Setup installed into DIR\n"
     "  --save-selection FILE     write the selection to FILE (also together with --install)\n"
     "  --help                    this text\n"
     "\n"
     "Options:\n"
     "  --select ITEM,...         catalogue items by path, such as Crosshairs/Crosshair-A.7z\n"
     "  --selection FILE          the items of a selection file\n"
     "  --last                    the selection last installed from the program's folder\n"
     "                            (none of these three: the catalogue's initial ticks)\n"
     "  --format=text|json        the output of --list\n"
     "  --lang en|ru              language of the texts\n"
     "  --yes                     answer yes to every question\n"
     "\n"
     "Exit codes: 0 success, 1 installation failed, 2 usage error, 3 cancelled.\n"},
    /* ctUsage */ {"Setup: %1\nСправка: Setup --help\n", "Setup: %1\nSee Setup --help\n"},
    /* ctUnknownOption */ {"неизвестный параметр %1", "unknown option %1"},
    /* ctMissingValue */ {"параметру %1 нужно значение", "option %1 needs a value"},
    /* ctNoCommand */
    {"укажите команду: --list, --install, --uninstall или --save-selection",
     "name a command: --list, --install, --uninstall or --save-selection"},
    /* ctTwoCommands */ {"команды %1 и %2 нельзя давать вместе", "%1 and %2 cannot be given together"},
    /* ctMissingTarget */ {"%1 требует --target ПАПКА", "%1 needs --target DIR"},
    /* ctTargetUnavailable */ {"папку нельзя создать: %1", "the folder cannot be made: %1"},
    /* ctTargetMissing */ {"папки нет: %1", "no such folder: %1"},
    /* ctBadLang */ {"--lang: en или ru", "--lang takes en or ru"},
    /* ctBadFormat */ {"--format: text или json", "--format takes text or json"},
    /* ctTwoSources */
    {"укажите только одно из --select, --selection и --last", "give only one of --select, --selection and --last"},
    /* ctNoLast */
    {"для этой папки программы выбор еще не записан", "no selection has been recorded for this program folder"},
    /* ctUnknownItems */ {"нет в каталоге:%1", "not in the catalogue:%1"},
    /* ctUnavailableItems */ {"недоступны для установки (см. --list):%1", "cannot be installed (see --list):%1"},
    /* ctRadioClash */
    {"\"%1\" и \"%2\" из одной группы выбора: можно только один",
     "\"%1\" and \"%2\" are in one radio group: only one can be installed"},
    /* ctNothingSelected */ {"ничего не выбрано для установки", "nothing is selected for installation"},
    /* ctSelectionUnreadable */ {"файл выбора %1 не читается: %2", "selection file %1 cannot be read: %2"},
    /* ctSelectionTooLarge */ {"файл выбора %1 слишком велик", "selection file %1 is too large"},
    /* ctSelectionBinary */ {"файл выбора %1 не является текстом UTF-8", "selection file %1 is not UTF-8 text"},
    /* ctSelectionFormat */
    {"%1 не файл выбора Setup (первая строка должна быть \"%2\")",
     "%1 is not a Setup selection file (its first line must be \"%2\")"},
    /* ctSelectionSaved */ {"Выбор записан в %1", "Selection saved to %1"},
    /* ctSelectionNotSaved */ {"Не удалось записать %1", "Cannot write %1"},
    /* ctCatalogueError */ {"Каталог не построен: %1", "The catalogue cannot be built: %1"},
    /* ctInstalling */ {"Установка %1/%2: %3", "Installing %1/%2: %3"},
    /* ctCancelling */ {"Прерывание...", "Cancelling..."},
    /* ctCancelled */ {"Установка прервана.", "Installation cancelled."},
    /* ctChangedFiles */
    {"Эти файлы изменены после установки Setup и будут перезаписаны:",
     "These files were changed after Setup installed them and would be overwritten:"},
    /* ctOverwriteQuestion */ {"Перезаписать их?", "Install over them?"},
    /* ctNotOverwritten */
    {"Ничего не установлено. Чтобы перезаписать измененные файлы, добавьте --yes.",
     "Nothing was installed. To install over the changed files, add --yes."},
    /* ctAskYes */ {" [y/N] ", " [y/N] "},
    /* ctStateChecked */ {"checked", "checked"},
    /* ctStateUnchecked */ {"unchecked", "unchecked"},
    /* ctStateGrayed */ {"grayed", "grayed"},
    /* ctStateNoBox */ {"no-box", "no-box"},
    /* ctStateUnavailable */ {"unavailable", "unavailable"},
    /* ctLoadedPartly */
    {"Не все элементы файла выбора удалось отметить.", "Not every item of the selection file could be ticked."},
    /* ctLoadedUnknown */ {"Нет в каталоге:", "Not in the catalogue:"},
    /* ctLoadedUnavailable */ {"Недоступны для установки:", "Cannot be installed:"},
    /* ctLoadedClash */ {"Из одной группы выбора, отмечен второй:", "In one radio group, the second one is ticked:"},
    /* ctSaveSelection */ {"Сохранить выбор...", "Save selection..."},
    /* ctLoadSelection */ {"Загрузить выбор...", "Load selection..."},
    /* ctSelectionFilter */ {"Выбор Setup (*.selection);;Все файлы (*)", "Setup selection (*.selection);;All files (*)"},
};

QString CommandText(TCommandText row)
{
    if (row < 0 || row >= CommandTextRows)
        return {};
    return QString::fromUtf8(CommandTexts[row][LangIndex == 0 ? 0 : 1]);
}
