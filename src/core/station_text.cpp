// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/station_text.h"

#include <array>

namespace volnar {

namespace {

// Windows-1252 bytes 80-9F; 0 marks the five undefined bytes, which read
// as the C1 control of the same code.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t CharOfByte(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) {
        return byte;
    }
    const char16_t mapped = kHighControls[byte - 0x80];
    return mapped != 0 ? mapped : byte;
}

// The byte of a code point, or -1 when the code page has none.
int ByteOfChar(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        const char16_t mapped = kHighControls[i];
        if (mapped == c || (mapped == 0 && c == 0x80 + i)) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

// Walks a text by code points, composed first (NFC): a letter typed as its
// base letter and a combining mark ("e" U+0301, as some keyboards, input
// methods and pasted text give it) is the code page's own "é". Text read
// from the station is already composed, so it goes back unchanged. A lone
// surrogate is a code point of its own (and one no code page holds).
template <typename Visit>
void ForEachCodePoint(QStringView typed, Visit visit) {
    const QString text = typed.toString().normalized(QString::NormalizationForm_C);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (!visit(c)) {
            return;
        }
    }
}

}  // namespace

QString StationText(const QByteArray& bytes) {
    return StationText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString StationText(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        *out++ = QChar(CharOfByte(static_cast<unsigned char>(byte)));
    }
    return text;
}

QByteArray StationBytes(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    ForEachCodePoint(text, [&bytes](char32_t c) {
        const int byte = ByteOfChar(c);
        bytes.append(byte < 0 ? '?' : static_cast<char>(byte));
        return true;
    });
    return bytes;
}

std::optional<char32_t> FirstUnencodable(QStringView text) {
    std::optional<char32_t> found;
    ForEachCodePoint(text, [&found](char32_t c) {
        if (ByteOfChar(c) < 0) {
            found = c;
            return false;
        }
        return true;
    });
    return found;
}

std::optional<QString> CheckStationText(const StationField& field, QStringView text) {
    if (const auto c = FirstUnencodable(text)) {
        const bool printable = QChar::isPrint(*c);
        return QStringLiteral(
                   "The field \"%1\" contains the character %2(U+%3), which the station "
                   "cannot store. Remove or replace it.")
            .arg(
                field.name,
                printable ? QStringLiteral("\"") + QString::fromUcs4(&*c, 1) + QStringLiteral("\" ")
                          : QString(),
                QStringLiteral("%1").arg(static_cast<uint>(*c), 4, 16, QLatin1Char('0')).toUpper());
    }
    if (field.noBar && text.contains(QLatin1Char('|'))) {
        return QStringLiteral(
                   "The field \"%1\" must not contain the character \"|\": it separates "
                   "the fields of the station's records.")
            .arg(field.name);
    }
    if (field.limit > 0 && StationBytes(text).size() > field.limit) {
        return QStringLiteral("The field \"%1\" holds at most %2 characters; it has %3.")
            .arg(field.name)
            .arg(field.limit)
            .arg(StationBytes(text).size());
    }
    return std::nullopt;
}

QString EditableLines(const QString& stationText) {
    QString shown = stationText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString StationLines(const QString& edited, const QString& original) {
    QString lines = edited;
    lines.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    lines.replace(QChar::LineSeparator, QLatin1Char('\n'));
    if (lines == EditableLines(original)) {
        return original;
    }
    lines = EditableLines(lines);
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return lines;
}

}  // namespace volnar
