#include "catalogue/TSelectionFile.h"

#include "platform/TReadOnlyFile.h"

#include <QSaveFile>
#include <QString>

#include <set>

const char* const TSelectionFile::FormatLine = "Setup selection 1";

namespace {
const char* const FormatPrefix = "Setup selection ";

std::string Trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool ValidUtf8(const std::string& text)
{
    const QByteArray bytes = QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}
}

std::vector<std::string> TSelectionFile::Parse(const std::string& input)
{
    using K = ESelectionFileError::TKind;
    if (input.size() > MaxBytes)
        throw ESelectionFileError(K::TooLarge, "the file is larger than " + std::to_string(MaxBytes) + " bytes");
    std::string text = input;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    if (text.find('\0') != std::string::npos || !ValidUtf8(text))
        throw ESelectionFileError(K::Binary, "the file is not UTF-8 text");
    std::vector<std::string> items;
    std::set<std::string> seen;
    std::size_t pos = 0;
    bool first = true;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (first) {
            first = false;
            if (line != FormatLine) {
                const bool newer = line.rfind(FormatPrefix, 0) == 0;
                throw ESelectionFileError(K::OtherFormat, newer ? "the file is of another format version: " + line
                                                                : "the first line is not \"" + std::string(FormatLine) + "\"");
            }
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        if (seen.insert(line).second)
            items.push_back(line);
    }
    return items;
}

std::vector<std::string> TSelectionFile::Read(const std::string& path)
{
    using K = ESelectionFileError::TKind;
    std::string text;
    try {
        TReadOnlyFile file(path);
        if (file.Size() > MaxBytes)
            throw ESelectionFileError(K::TooLarge, "the file is larger than " + std::to_string(MaxBytes) + " bytes");
        text.resize(static_cast<std::size_t>(file.Size()));
        if (!text.empty() && !file.ReadAt(0, text.data(), text.size()))
            throw ESelectionFileError(K::Unreadable, "cannot read " + path);
    } catch (const ESelectionFileError&) {
        throw;
    } catch (const std::exception& e) {
        throw ESelectionFileError(K::Unreadable, e.what());
    }
    return Parse(text);
}

std::string TSelectionFile::Format(const std::vector<std::string>& items)
{
    std::string text = std::string(FormatLine) + "\n# One catalogue item per line: folder/archive\n";
    for (const std::string& item : items)
        text += item + "\n";
    return text;
}

bool TSelectionFile::Write(const std::string& path, const std::vector<std::string>& items)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string text = Format(items);
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
