#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// One item line of a catalogue, its prefix read.
struct TCatalogueItem {
    int Level = 0;
    int State = 0;
    bool Radio = false;
    std::uint16_t Group = 0;
    QString Text;
};

// The line syntax of catalogue files, without any tree.
class TCatalogueText {
public:
    // UTF-8 when the bytes are valid UTF-8 (a leading BOM dropped), else Windows-1251.
    static QString Decode(const QByteArray& bytes);
    // Lines split at CR, LF or CR LF; a final line end adds no empty line.
    static QStringList SplitLines(const QString& text);
    // Leading blanks and TABs, one level each; `rest` gets what follows.
    static int SkipIndent(const QString& text, QString& rest);
    // False for comments, empty and blank-only lines. Throws EConvertError for a state or
    // group that is not decimal digits, ETreeViewError for a line shorter than the prefix.
    static bool ParseLine(const QString& line, int lineNumber, TCatalogueItem& item);
};
