// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_config/station_config.h"

#include <QSet>
#include <QStringDecoder>
#include <map>

#include "core/station_text.h"

namespace volnar::config {

namespace {

const char* const kListNames[] = {"alerts", "normal alerts", "scripts", "normal scripts"};

QString ListKey(int list) {
    return QStringLiteral("trigger %1 %2")
        .arg(list < 4 ? QStringLiteral("high") : QStringLiteral("low"),
             QLatin1String(kListNames[list % 4]));
}

QString IdsText(const std::vector<int>& ids) {
    QStringList parts;
    for (const int id : ids) {
        parts << QString::number(id);
    }
    return parts.join(QLatin1Char(' '));
}

QString YesNo(bool yes) {
    return yes ? QStringLiteral("yes") : QStringLiteral("no");
}

bool NeedsEscape(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
           byte == 0x90 || byte == 0x9D || byte == 0xA0 || byte == 0xAD;
}

}  // namespace

bool ListHoldsScripts(int list) {
    return list % 4 >= 2;
}

QString RowNoun(RowKind kind) {
    return kind == RowKind::Script ? QStringLiteral("script") : QStringLiteral("alert");
}

QString EscapeStationText(const QByteArray& bytes) {
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool edgeBlank = byte == ' ' && (i == 0 || i == bytes.size() - 1);
        if (byte == '\\') {
            out += QStringLiteral("\\\\");
        } else if (byte == '\r') {
            out += QStringLiteral("\\r");
        } else if (byte == '\n') {
            out += QStringLiteral("\\n");
        } else if (byte == '\t') {
            out += QStringLiteral("\\t");
        } else if (NeedsEscape(byte) || edgeBlank) {
            out += QStringLiteral("\\x") +
                   QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        } else {
            out += StationText(QByteArray(1, static_cast<char>(byte)));
        }
    }
    return out;
}

Result<QByteArray> UnescapeStationText(const QString& text) {
    QByteArray out;
    QString run;  // plain characters, converted together (composed)
    const auto flush = [&out, &run]() -> Result<void> {
        if (const auto bad = FirstUnencodable(run)) {
            return Failure{QStringLiteral("the character U+%1 is not in the station's code page")
                               .arg(QStringLiteral("%1")
                                        .arg(static_cast<uint>(*bad), 4, 16, QLatin1Char('0'))
                                        .toUpper())};
        }
        out += StationBytes(run);
        run.clear();
        return {};
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\')) {
            run += text[i];
            continue;
        }
        if (Result<void> done = flush(); !done) {
            return Failure{done.error()};
        }
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (next == QLatin1Char('\\')) {
            out += '\\';
        } else if (next == QLatin1Char('r')) {
            out += '\r';
        } else if (next == QLatin1Char('n')) {
            out += '\n';
        } else if (next == QLatin1Char('t')) {
            out += '\t';
        } else if (next == QLatin1Char('x')) {
            bool ok = false;
            const int byte = text.mid(i + 2, 2).toInt(&ok, 16);
            if (!ok || text.mid(i + 2, 2).size() != 2) {
                return Failure{QStringLiteral("\"\\x\" must be followed by two hex digits")};
            }
            out += static_cast<char>(byte);
            i += 2;
        } else {
            return Failure{QStringLiteral("unknown escape \"\\%1\"").arg(next)};
        }
        ++i;
    }
    if (Result<void> done = flush(); !done) {
        return Failure{done.error()};
    }
    return out;
}

std::vector<Setting> RelaySettings(const RelayConfig& relay) {
    return {{QStringLiteral("name"), EscapeStationText(relay.name)},
            {QStringLiteral("notes"), EscapeStationText(relay.notes)}};
}

std::vector<Setting> ChannelSettings(const ChannelConfig& c) {
    std::vector<Setting> settings = {
        {QStringLiteral("name"), EscapeStationText(c.name)},
        {QStringLiteral("notes"), EscapeStationText(c.notes)},
        {QStringLiteral("mode"),
         c.ammeter ? QStringLiteral("ammeter") : QStringLiteral("voltmeter")},
        {QStringLiteral("shunt amps"), EscapeStationText(c.ampRating)},
        {QStringLiteral("shunt millivolts"), EscapeStationText(c.millivoltRating)},
        {QStringLiteral("precision"), EscapeStationText(c.precision)},
        {QStringLiteral("adjustment"), EscapeStationText(c.adjustment)},
    };
    for (const bool high : {true, false}) {
        const QString trigger =
            high ? QStringLiteral("trigger high") : QStringLiteral("trigger low");
        settings.push_back({trigger, EscapeStationText(high ? c.highValue : c.lowValue)});
        settings.push_back(
            {trigger + QStringLiteral(" enabled"), YesNo(high ? c.highEnabled : c.lowEnabled)});
        settings.push_back({trigger + QStringLiteral(" flap seconds"),
                            QString::number(high ? c.highFlapSeconds : c.lowFlapSeconds)});
        for (int list = high ? 0 : 4; list < (high ? 4 : 8); ++list) {
            settings.push_back({ListKey(list), IdsText(c.lists[static_cast<std::size_t>(list)])});
        }
    }
    return settings;
}

QStringList RowKeys(RowKind kind, const QByteArray& type) {
    if (kind == RowKind::Script) {
        return {QStringLiteral("type"), QStringLiteral("name"), QStringLiteral("description"),
                QStringLiteral("commands")};
    }
    if (type == "EMAIL") {
        return {QStringLiteral("type"),        QStringLiteral("name"),
                QStringLiteral("description"), QStringLiteral("from"),
                QStringLiteral("smtp server"), QStringLiteral("to"),
                QStringLiteral("subject"),     QStringLiteral("text")};
    }
    QStringList keys = {QStringLiteral("type")};
    if (type == "SMS") {
        keys << QStringLiteral("description") << QStringLiteral("phone number")
             << QStringLiteral("modem") << QStringLiteral("message");
    }
    for (qsizetype n = keys.size() + 2; n <= 9; ++n) {
        keys << QStringLiteral("field %1").arg(n);
    }
    return keys;
}

std::vector<Setting> RowSettings(RowKind kind, const TableRow& row) {
    const QStringList keys = RowKeys(kind, row.fields.value(0));
    std::vector<Setting> settings;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        settings.push_back({keys[i], EscapeStationText(row.fields.value(i))});
    }
    return settings;
}

}  // namespace volnar::config
