#include "shell/InstallErrorTexts.h"

#include "shell/LangTexts.h"

namespace {
// Texts of the failure details, [row][language] as in LangTexts: first the three labels,
// then one row per reason in the order of TFailReason.
constexpr int LabelArchive = 0;
constexpr int LabelItem = 1;
constexpr int LabelReason = 2;
constexpr int FirstReason = 3;

const char* const DetailTexts[][2] = {
    /* LabelArchive */ {"Архив: ", "Archive: "},
    /* LabelItem */ {"Файл в архиве: ", "Item: "},
    /* LabelReason */ {"Причина: ", "Reason: "},
    /* Other */ {"ошибка чтения или записи", "a read or write error"},
    /* DataError */ {"архив повреждён (ошибка CRC или данных)", "the archive is damaged (CRC or data error)"},
    /* Truncated */ {"архив обрывается: файл неполный (возможно, загрузка прервалась)",
                     "the archive is cut short: the file is incomplete (an interrupted download?)"},
    /* SplitItem */ {"файл продолжается в другом томе многотомного архива",
                     "the item continues in another volume of a multi-volume archive"},
    /* UnsafePath */ {"путь файла ведёт за пределы папки установки",
                      "the item's path leads out of the installation folder"},
    /* Encrypted */ {"файл зашифрован; пароли не поддерживаются",
                     "the item is encrypted; passwords are not supported"},
    /* DiskFull */ {"на диске не хватает места", "the disk is full"},
    /* ReadOnly */ {"файл или папка доступны только для чтения", "a file or folder is read-only"},
    /* ArchiveMissing */ {"файл архива не найден", "the archive file is missing"},
    /* UnsupportedFeature */ {"архив использует возможность, которую программа не умеет читать",
                              "the archive uses a feature this program cannot read"},
};
constexpr int DetailRows = sizeof DetailTexts / sizeof DetailTexts[0];

const char* Detail(int row)
{
    return DetailTexts[row][LangIndex == 0 ? 0 : 1];
}
}  // namespace

std::string InstallErrorDetails(const std::string& archive, const std::string& item, TFailReason reason,
                                const std::string& text)
{
    std::string out;
    if (!archive.empty())
        out += Detail(LabelArchive) + archive + "\n";
    if (!item.empty())
        out += Detail(LabelItem) + item + "\n";
    const int row = FirstReason + static_cast<int>(reason);
    out += Detail(LabelReason);
    out += row < DetailRows ? Detail(row) : Detail(FirstReason);
    // The binding's own words add what a general reason cannot say.
    if (reason == TFailReason::Other && !text.empty())
        out += " (" + text + ")";
    return out;
}
