// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>
#include <string_view>

// Station text: what travels in OCTET STRING values (names, notes, records)
// is Windows-1252, one byte per character, both ways. The five bytes that
// code page leaves undefined (81, 8D, 8F, 90, 9D) read as the control
// characters of the same code, as Windows itself reads them, so every byte
// the station sends is shown and goes back unchanged. Texts are checked with
// CheckStationText before they are sent: a character the code page cannot
// hold is refused, never replaced. Both check and convert the text composed
// (Unicode NFC), so "e" with a combining acute accent is the byte of "é".
namespace volnar {

// The station's bytes as text; every byte sequence converts.
QString StationText(const QByteArray& bytes);
QString StationText(std::string_view bytes);
// Text as the station's bytes, composed first. Only for text that
// FirstUnencodable accepts; anything else comes out as "?" (and is caught by
// the checks first).
QByteArray StationBytes(QStringView text);

// The first character (code point) of the composed text that the station's
// code page cannot hold.
std::optional<char32_t> FirstUnencodable(QStringView text);

// What the station allows in one text field.
struct StationField {
    QString name;        // as the operator knows the field: "Relay Name"
    int limit = 0;       // most characters the station keeps; 0: no limit here
    bool noBar = false;  // a "|" would split the record the text travels in
};

// The box text for a text the field cannot take as it stands: a character
// the code page cannot hold, a "|" where it would split a record, or more
// characters than the field keeps (counted composed, as they are sent).
// Nothing when the text can be sent as is.
std::optional<QString> CheckStationText(const StationField& field, QStringView text);

// A multi-line station text as a text edit shows it: every line break (CR LF,
// a lone CR, a lone LF) becomes "\n".
QString EditableLines(const QString& stationText);
// The text to send for what a multi-line edit holds (its raw text: paragraph
// and line separators count as "\n"). Left as it was shown, it is the
// station's own text, byte for byte; changed, every line break is written as
// CR LF, as the station and its other clients keep every multi-line text.
QString StationLines(const QString& edited, const QString& original);

}  // namespace volnar
