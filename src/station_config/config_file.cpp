// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration file: one setting a line, "key = value", in sections
// ("[relay 1]", "[channel 3]", "[script 12]") in a fixed order, so that two
// files of the same station differ only where the station does.
#include <QSet>
#include <QStringDecoder>
#include <map>
#include <optional>

#include "station_config/station_config.h"

namespace volnar::config {

namespace {

void AddSection(QString& out, const QString& title, const std::vector<Setting>& settings) {
    out += QStringLiteral("\n[") + title + QStringLiteral("]\n");
    for (const Setting& setting : settings) {
        out += setting.key + QStringLiteral(" =");
        if (!setting.value.isEmpty()) {
            out += QLatin1Char(' ') + setting.value;
        }
        out += QLatin1Char('\n');
    }
}

// One section as read: its settings by key, with the line each came from.
struct ReadSection {
    QString title;
    int line = 0;
    std::map<QString, std::pair<QString, int>> values;
};

Failure LineFailure(int line, const QString& text) {
    return Failure{QStringLiteral("line %1: %2").arg(line).arg(text)};
}

// Every key of `expected` is there, and nothing else.
Result<void> CheckKeys(const ReadSection& section, const QStringList& expected) {
    for (const auto& [key, value] : section.values) {
        if (!expected.contains(key)) {
            return LineFailure(
                value.second, QStringLiteral("[%1] has no setting \"%2\"").arg(section.title, key));
        }
    }
    for (const QString& key : expected) {
        if (section.values.find(key) == section.values.end()) {
            return LineFailure(section.line,
                               QStringLiteral("[%1] lacks \"%2\"").arg(section.title, key));
        }
    }
    return {};
}

Result<QByteArray> Text(const ReadSection& section, const QString& key) {
    const auto& [value, line] = section.values.at(key);
    Result<QByteArray> bytes = UnescapeStationText(value);
    if (!bytes) {
        return LineFailure(line, key + QStringLiteral(": ") + bytes.error());
    }
    return bytes;
}

Result<int> Number(const ReadSection& section, const QString& key) {
    const auto& [value, line] = section.values.at(key);
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < 0) {
        return LineFailure(line, key + QStringLiteral(": not a number: ") + value);
    }
    return number;
}

Result<bool> Choice(const ReadSection& section, const QString& key, const QString& yes,
                    const QString& no) {
    const auto& [value, line] = section.values.at(key);
    if (value != yes && value != no) {
        return LineFailure(
            line, QStringLiteral("%1: \"%2\" or \"%3\", not \"%4\"").arg(key, yes, no, value));
    }
    return value == yes;
}

Result<std::vector<int>> Ids(const ReadSection& section, const QString& key) {
    const auto& [value, line] = section.values.at(key);
    std::vector<int> ids;
    for (const QString& part : value.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = part.toInt(&ok);
        if (!ok || id <= 0) {
            return LineFailure(line, key + QStringLiteral(": not an id: ") + part);
        }
        ids.push_back(id);
    }
    return ids;
}

// Fills a part from its section through `read`, which returns the first
// failure of its settings.
template <typename Read>
Result<void> Fill(const ReadSection& section, const QStringList& keys, Read read) {
    if (Result<void> checked = CheckKeys(section, keys); !checked) {
        return checked;
    }
    return read();
}

QStringList Keys(const std::vector<Setting>& settings) {
    QStringList keys;
    for (const Setting& setting : settings) {
        keys << setting.key;
    }
    return keys;
}

#define VOLNAR_TAKE(target, expression)    \
    do {                                   \
        auto taken = (expression);         \
        if (!taken) {                      \
            return Failure{taken.error()}; \
        }                                  \
        target = std::move(*taken);        \
    } while (false)

Result<void> ReadRelay(const ReadSection& s, RelayConfig& relay) {
    return Fill(s, Keys(RelaySettings({})), [&]() -> Result<void> {
        VOLNAR_TAKE(relay.name, Text(s, QStringLiteral("name")));
        VOLNAR_TAKE(relay.notes, Text(s, QStringLiteral("notes")));
        return {};
    });
}

Result<void> ReadChannel(const ReadSection& s, ChannelConfig& c) {
    const std::vector<Setting> keys = ChannelSettings({});
    return Fill(s, Keys(keys), [&]() -> Result<void> {
        VOLNAR_TAKE(c.name, Text(s, QStringLiteral("name")));
        VOLNAR_TAKE(c.notes, Text(s, QStringLiteral("notes")));
        VOLNAR_TAKE(c.ammeter, Choice(s, QStringLiteral("mode"), QStringLiteral("ammeter"),
                                      QStringLiteral("voltmeter")));
        VOLNAR_TAKE(c.ampRating, Text(s, QStringLiteral("shunt amps")));
        VOLNAR_TAKE(c.millivoltRating, Text(s, QStringLiteral("shunt millivolts")));
        VOLNAR_TAKE(c.precision, Text(s, QStringLiteral("precision")));
        VOLNAR_TAKE(c.adjustment, Text(s, QStringLiteral("adjustment")));
        const QString yes = QStringLiteral("yes");
        const QString no = QStringLiteral("no");
        VOLNAR_TAKE(c.highValue, Text(s, QStringLiteral("trigger high")));
        VOLNAR_TAKE(c.highEnabled, Choice(s, QStringLiteral("trigger high enabled"), yes, no));
        VOLNAR_TAKE(c.highFlapSeconds, Number(s, QStringLiteral("trigger high flap seconds")));
        VOLNAR_TAKE(c.lowValue, Text(s, QStringLiteral("trigger low")));
        VOLNAR_TAKE(c.lowEnabled, Choice(s, QStringLiteral("trigger low enabled"), yes, no));
        VOLNAR_TAKE(c.lowFlapSeconds, Number(s, QStringLiteral("trigger low flap seconds")));
        const std::size_t firstList = 7 + 3;  // the lists follow each trigger's three settings
        for (int list = 0; list < static_cast<int>(kActionsListCount); ++list) {
            const std::size_t at =
                firstList + static_cast<std::size_t>(list % 4) + (list < 4 ? 0 : 7);
            VOLNAR_TAKE(c.lists[static_cast<std::size_t>(list)], Ids(s, keys[at].key));
        }
        return {};
    });
}

Result<void> ReadRow(const ReadSection& s, RowKind kind, TableRow& row) {
    const auto type = s.values.find(QStringLiteral("type"));
    if (type == s.values.end()) {
        return LineFailure(s.line, QStringLiteral("[%1] lacks \"type\"").arg(s.title));
    }
    const Result<QByteArray> typeBytes = UnescapeStationText(type->second.first);
    const QStringList keys = RowKeys(kind, typeBytes ? *typeBytes : QByteArray());
    return Fill(s, keys, [&]() -> Result<void> {
        for (const QString& key : keys) {
            QByteArray field;
            VOLNAR_TAKE(field, Text(s, key));
            row.fields << field;
        }
        return {};
    });
}

// "relay 3" -> 3 when the title is `noun` and a number in [1, most].
std::optional<int> Numbered(const QString& title, const QString& noun, int most) {
    if (!title.startsWith(noun + QLatin1Char(' '))) {
        return std::nullopt;
    }
    bool ok = false;
    const int number = title.mid(noun.size() + 1).toInt(&ok);
    return ok && number >= 1 && number <= most ? std::optional(number) : std::nullopt;
}

Result<void> ReadPart(const ReadSection& s, StationConfig& config) {
    if (s.title == QLatin1String("station")) {
        return Fill(s, {QStringLiteral("name")}, [&]() -> Result<void> {
            VOLNAR_TAKE(config.name, Text(s, QStringLiteral("name")));
            return {};
        });
    }
    if (const auto relay = Numbered(s.title, QStringLiteral("relay"), kRelays)) {
        return ReadRelay(s, config.relays[static_cast<std::size_t>(*relay - 1)]);
    }
    if (const auto channel = Numbered(s.title, QStringLiteral("channel"), kChannels)) {
        return ReadChannel(s, config.channels[static_cast<std::size_t>(*channel - 1)]);
    }
    for (const RowKind kind : {RowKind::Script, RowKind::Alert}) {
        if (const auto id = Numbered(s.title, RowNoun(kind), 0x7fffffff)) {
            TableRow row;
            row.id = *id;
            if (Result<void> read = ReadRow(s, kind, row); !read) {
                return read;
            }
            config.Rows(kind).push_back(std::move(row));
            return {};
        }
    }
    return LineFailure(s.line, QStringLiteral("unknown section [%1]").arg(s.title));
}

// The lines before the first section: format, board and source.
Result<void> ReadHeader(const ReadSection& header, StationConfig& config) {
    const auto format = header.values.find(QStringLiteral("format"));
    if (format == header.values.end()) {
        return Failure{QStringLiteral("not a station configuration: no \"format\" line")};
    }
    bool ok = false;
    const int version = format->second.first.toInt(&ok);
    if (!ok || version < 1) {
        return LineFailure(format->second.second,
                           QStringLiteral("not a format version: ") + format->second.first);
    }
    if (version > kFormatVersion) {
        return Failure{QStringLiteral("the file is in format %1, newer than this program reads "
                                      "(%2): use a newer volnar-config")
                           .arg(version)
                           .arg(kFormatVersion)};
    }
    const auto board = header.values.find(QStringLiteral("board"));
    if (board == header.values.end() || board->second.first != QLatin1String(kBoardKind)) {
        return Failure{QStringLiteral("the file is the configuration of another kind of board "
                                      "(\"%1\"), not of a %2 station")
                           .arg(board == header.values.end() ? QString() : board->second.first,
                                QLatin1String(kBoardKind))};
    }
    return Fill(header,
                {QStringLiteral("format"), QStringLiteral("board"), QStringLiteral("source")},
                [&]() -> Result<void> {
                    config.source = header.values.at(QStringLiteral("source")).first;
                    return {};
                });
}

Result<std::vector<ReadSection>> SplitSections(const QString& text) {
    std::vector<ReadSection> sections(1);  // the header first
    QSet<QString> titles;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']'))) {
                return LineFailure(number, QStringLiteral("a section title ends with \"]\""));
            }
            ReadSection section{line.mid(1, line.size() - 2), number, {}};
            if (titles.contains(section.title)) {
                return LineFailure(number, QStringLiteral("[%1] twice").arg(section.title));
            }
            titles.insert(section.title);
            sections.push_back(std::move(section));
            continue;
        }
        const qsizetype equals = line.indexOf(QStringLiteral(" ="));
        if (equals <= 0 || (line.size() > equals + 2 && line[equals + 2] != QLatin1Char(' '))) {
            return LineFailure(number, QStringLiteral("expected \"key = value\""));
        }
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 3);
        auto& values = sections.back().values;
        if (values.find(key) != values.end()) {
            return LineFailure(number, QStringLiteral("\"%1\" twice").arg(key));
        }
        values[key] = {value, number};
    }
    return sections;
}

}  // namespace

QByteArray WriteConfigFile(const StationConfig& config) {
    QString out = QStringLiteral("# Volnar station configuration, written by volnar-config\n");
    out += QStringLiteral("format = %1\n").arg(kFormatVersion);
    out += QStringLiteral("board = %1\n").arg(QLatin1String(kBoardKind));
    out += QStringLiteral("source = %1\n").arg(config.source);
    AddSection(out, QStringLiteral("station"),
               {{QStringLiteral("name"), EscapeStationText(config.name)}});
    for (int r = 0; r < kRelays; ++r) {
        AddSection(out, QStringLiteral("relay %1").arg(r + 1),
                   RelaySettings(config.relays[static_cast<std::size_t>(r)]));
    }
    for (int c = 0; c < kChannels; ++c) {
        AddSection(out, QStringLiteral("channel %1").arg(c + 1),
                   ChannelSettings(config.channels[static_cast<std::size_t>(c)]));
    }
    for (const RowKind kind : {RowKind::Script, RowKind::Alert}) {
        std::vector<TableRow> rows = config.Rows(kind);
        std::sort(rows.begin(), rows.end(),
                  [](const TableRow& a, const TableRow& b) { return a.id < b.id; });
        for (const TableRow& row : rows) {
            AddSection(out, RowNoun(kind) + QLatin1Char(' ') + QString::number(row.id),
                       RowSettings(kind, row));
        }
    }
    return out.toUtf8();
}

Result<StationConfig> ParseConfigFile(const QByteArray& file) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(file);
    if (decoder.hasError()) {
        return Failure{QStringLiteral("the file is not UTF-8 text")};
    }
    Result<std::vector<ReadSection>> sections = SplitSections(text);
    if (!sections) {
        return Failure{sections.error()};
    }
    StationConfig config;
    if (Result<void> header = ReadHeader(sections->front(), config); !header) {
        return Failure{header.error()};
    }
    QSet<QString> titles;
    for (std::size_t i = 1; i < sections->size(); ++i) {
        const ReadSection& section = (*sections)[i];
        if (Result<void> read = ReadPart(section, config); !read) {
            return Failure{read.error()};
        }
        titles.insert(section.title);
    }
    QStringList required = {QStringLiteral("station")};
    for (int r = 1; r <= kRelays; ++r) {
        required << QStringLiteral("relay %1").arg(r);
    }
    for (int c = 1; c <= kChannels; ++c) {
        required << QStringLiteral("channel %1").arg(c);
    }
    for (const QString& title : required) {
        if (!titles.contains(title)) {
            return Failure{QStringLiteral("the file has no [%1]").arg(title)};
        }
    }
    return config;
}

}  // namespace volnar::config
