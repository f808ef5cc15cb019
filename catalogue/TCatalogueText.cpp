#include "catalogue/TCatalogueText.h"

#include <QStringDecoder>

#include "catalogue/EConvertError.h"
#include "catalogue/ETreeViewError.h"

namespace {

// Windows-1251, bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
const char16_t Cp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

QString DecodeCp1251(const QByteArray& bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            *p++ = QChar(b);
        else if (b < 0xC0)
            *p++ = QChar(Cp1251High[b - 0x80]);
        else
            *p++ = QChar(char16_t(0x0410 + (b - 0xC0)));
    }
    return out;
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

[[noreturn]] void NotAnInteger(const QString& text)
{
    throw EConvertError("'" + text.toStdString() + "' is not a valid integer value");
}

}  // namespace

QString TCatalogueText::Decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return DecodeCp1251(bytes);
}

QStringList TCatalogueText::SplitLines(const QString& text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

int TCatalogueText::SkipIndent(const QString& text, QString& rest)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    rest = text.mid(i);
    return static_cast<int>(i);
}

bool TCatalogueText::ParseLine(const QString& line, int lineNumber, TCatalogueItem& item)
{
    QString rest;
    item.Level = SkipIndent(line, rest);
    if (rest.isEmpty() || rest[0] == u'#')
        return false;
    if (rest.size() < 4) {
        throw ETreeViewError("Line " + std::to_string(lineNumber) +
                             " is too short for an item (a four-character prefix XBYY and a name): \"" +
                             line.toStdString() + "\"");
    }
    if (!IsDigit(rest[0]))
        NotAnInteger(rest.left(1));
    item.State = rest[0].unicode() - u'0';
    item.Radio = rest[1] == u'T';
    item.Group = 0;
    if (item.Radio) {
        // Only plain decimal digits: no sign, blank or hex prefix sneaks into a group number.
        if (!IsDigit(rest[2]) || !IsDigit(rest[3]))
            NotAnInteger(rest.mid(2, 2));
        item.Group = static_cast<std::uint16_t>((rest[2].unicode() - u'0') * 10 + (rest[3].unicode() - u'0'));
    }
    item.Text = rest.mid(4);
    return true;
}
