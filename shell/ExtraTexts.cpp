#include "shell/ExtraTexts.h"

#include "shell/LangTexts.h"

#include <QStringList>

const char* const ExtraTexts[ExtraTextRows][2] = {
    /* etUninstallButton */ {"Удалить установленное...", "Uninstall mods..."},
    /* etUninstallQuestion */
    {"Удалить из этой папки файлы, установленные Setup, и вернуть файлы, которые они заменили?",
     "Remove the files Setup installed in this folder and put back the files they replaced?"},
    /* etUninstallDone */ {"Удаление завершено.", "Uninstall finished."},
    /* etRemoved */ {"Удалено файлов: %1", "Files removed: %1"},
    /* etRestored */ {"Восстановлено прежних файлов: %1", "Earlier files restored: %1"},
    /* etKept */ {"Оставлено измененных файлов: %1", "Changed files kept: %1"},
    /* etKeptHeading */
    {"Эти файлы изменены после установки и оставлены на месте:",
     "These files were changed after installation and were left in place:"},
    /* etFailed */ {"Не удалось обработать файлов: %1", "Files that could not be handled: %1"},
    /* etFailedHeading */ {"Не удалось удалить или восстановить:", "Could not be removed or restored:"},
    /* etUnrecorded */
    {"Файлов, не попавших в журнал установки (он был полон): %1",
     "Files left out of the install record (it was full): %1"},
    /* etNothingRecorded */
    {"В журнале установки этой папки нет файлов для удаления.",
     "The install record of this folder holds no files to remove."},
    /* etRecordDamaged */
    {"Журнал установки этой папки поврежден. Ничего не удалено.",
     "The install record of this folder is damaged. Nothing was removed."},
    /* etRecordNewer */
    {"Журнал установки этой папки записан более новой версией Setup. Ничего не удалено.",
     "The install record of this folder was written by a newer Setup. Nothing was removed."},
    /* etRestoreSelection */ {"Как в прошлый раз", "Last selection"},
    /* etConflict */ {"\"%1\" заменит %2 из \"%3\"", "\"%1\" replaces %2 of \"%3\""},
    /* etConflictMore */ {" (и еще совпадений: %1)", " (and %1 more)"},
    /* etFilesOne */ {"%1 файл", "%1 file"},
    /* etFilesFew */ {"%1 файла", "%1 files"},
    /* etFilesMany */ {"%1 файлов", "%1 files"},
    /* etFolderBusy */
    {"Эту папку сейчас изменяет другая копия Setup:\n%1\nДождитесь ее завершения и попробуйте снова.",
     "Another copy of Setup is changing this folder right now:\n%1\nWait until it has finished and try again."},
    /* etOutside */ {"Оставлено файлов за ссылками вне папки: %1", "Files behind links out of the folder kept: %1"},
    /* etOutsideHeading */
    {"Оставлены, потому что путь к ним ведет по ссылке за пределы папки:",
     "Kept because the way to them leads through a link out of the folder:"},
    /* etSpaceNeeded */ {"Нужно места: %1", "Space needed: %1"},
    /* etSpaceFree */ {"Свободно на диске: %1", "Free disk space: %1"},
    /* etSpaceShort */
    {"Недостаточно места на диске для установки в папку:\n%1\n\nНужно: %2\nСвободно: %3",
     "There is not enough disk space to install into this folder:\n%1\n\nNeeded: %2\nFree: %3"},
    /* etReadOnlyTarget */
    {"Папка находится на диске, доступном только для чтения:\n%1",
     "This folder is on a read-only file system:\n%1"},
    /* etGameRunning */
    {"Игра запущена:\n%1\n\nЗакройте ее и нажмите \"Повторить\". Файлы, измененные при запущенной игре, "
     "она подхватит наполовину или не подхватит вовсе. \"Пропустить\" продолжит на ваш страх и риск.",
     "The game is running:\n%1\n\nClose it and press Retry. Files changed while the game runs are picked up "
     "half-way or not at all. Ignore goes on at your own risk."},
    /* etSizeUnits */ {"байт|КБ|МБ|ГБ|ТБ", "bytes|KB|MB|GB|TB"},
};

QString ExtraText(TExtraText row)
{
    if (row < 0 || row >= ExtraTextRows)
        return {};
    return QString::fromUtf8(ExtraTexts[row][LangIndex == 0 ? 0 : 1]);
}

QString SizeText(unsigned long long bytes)
{
    const QStringList units = ExtraText(etSizeUnits).split(QLatin1Char('|'));
    if (bytes < 1024 || units.size() < 5)
        return QString::number(bytes) + QLatin1Char(' ') + (bytes == 1 && LangIndex != 0 ? QStringLiteral("byte") : units.value(0));
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    QString number = QString::number(value, 'f', value < 10 ? 1 : 0);
    if (LangIndex == 0)
        number.replace(QLatin1Char('.'), QLatin1Char(','));
    return number + QLatin1Char(' ') + units[unit];
}

QString FilesCountText(unsigned long long count)
{
    TExtraText form = etFilesMany;
    if (LangIndex == 0) {
        const unsigned long long mod10 = count % 10, mod100 = count % 100;
        if (mod10 == 1 && mod100 != 11)
            form = etFilesOne;
        else if (mod10 >= 2 && mod10 <= 4 && (mod100 < 12 || mod100 > 14))
            form = etFilesFew;
    } else if (count == 1) {
        form = etFilesOne;
    }
    return ExtraText(form).arg(count);
}
