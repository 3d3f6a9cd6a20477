// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts/script_vocabulary.h"

#include <QHash>
#include <array>

namespace volnar::scripts {

namespace {

struct Delay {
    const char* text;
    bool inIoSet;
};

// Both sets' delays in code order; the I/O set has no minute delays.
constexpr std::array<Delay, 27> kDelays = {{
    {"Delay 1 Second", true},    {"Delay 2 Seconds", true},   {"Delay 3 Seconds", true},
    {"Delay 4 Seconds", true},   {"Delay 5 Seconds", true},   {"Delay 6 Seconds", true},
    {"Delay 7 Seconds", true},   {"Delay 8 Seconds", true},   {"Delay 9 Seconds", true},
    {"Delay 10 Seconds", true},  {"Delay 20 Seconds", true},  {"Delay 30 Seconds", true},
    {"Delay 1 Minute", false},   {"Delay 2 Minutes", false},  {"Delay 3 Minutes", false},
    {"Delay 4 Minutes", false},  {"Delay 5 Minutes", false},  {"Delay 10 Minutes", false},
    {"Delay 20 Minutes", false}, {"Delay 30 Minutes", false}, {"Delay 1 Hour", true},
    {"Delay 2 Hours", true},     {"Delay 3 Hours", true},     {"Delay 4 Hours", true},
    {"Delay 5 Hours", true},     {"Delay 10 Hours", true},    {"Delay 24 Hours", true},
}};

QString Code(char group, int index) {
    return QString(QLatin1Char(group)) + QLatin1Char(kIndexCharacters[index]);
}

std::vector<ScriptCommand> BuildRelaySet() {
    std::vector<ScriptCommand> set;
    int index = 0;
    for (int relay = 1; relay <= 4; ++relay) {
        set.push_back({QStringLiteral("Relay %1 ON").arg(relay), Code('0', index++)});
        set.push_back({QStringLiteral("Relay %1 OFF").arg(relay), Code('0', index++)});
    }
    for (const Delay& delay : kDelays) {
        set.push_back({QString::fromLatin1(delay.text), Code('0', index++)});
    }
    for (int board = 1; board <= 6; ++board) {
        const char group = static_cast<char>('0' + board);
        index = 0;
        for (int relay = 1; relay <= 6; ++relay) {
            set.push_back(
                {QStringLiteral("RDB%1.Relay %2 ON").arg(board).arg(relay), Code(group, index++)});
            set.push_back(
                {QStringLiteral("RDB%1.Relay %2 OFF").arg(board).arg(relay), Code(group, index++)});
        }
        set.push_back({QStringLiteral("RDB%1.Output ON").arg(board), Code(group, index++)});
        set.push_back({QStringLiteral("RDB%1.Output OFF").arg(board), Code(group, index++)});
    }
    return set;
}

std::vector<ScriptCommand> BuildIoSet() {
    std::vector<ScriptCommand> set;
    int index = 0;
    for (const int pin : {1, 2, 3, 4, 5, 6, 7, 25, 26, 27, 28, 29, 30, 31}) {
        set.push_back({QStringLiteral("GXIO %1 HIGH").arg(pin), Code('0', index++)});
        set.push_back({QStringLiteral("GXIO %1 LOW").arg(pin), Code('0', index++)});
    }
    for (const Delay& delay : kDelays) {
        if (delay.inIoSet) {
            set.push_back({QString::fromLatin1(delay.text), Code('0', index++)});
        }
    }
    return set;
}

struct Vocabulary {
    std::vector<ScriptCommand> commands;
    QHash<QString, QString> codeOfText;
    QHash<QString, QString> textOfCode;

    explicit Vocabulary(std::vector<ScriptCommand> set) : commands(std::move(set)) {
        for (const ScriptCommand& command : commands) {
            codeOfText.insert(command.text, command.code);
            textOfCode.insert(command.code, command.text);
        }
    }
};

const Vocabulary& VocabularyOf(ScriptKind kind) {
    static const Vocabulary relay(BuildRelaySet());
    static const Vocabulary io(BuildIoSet());
    return kind == ScriptKind::Relay ? relay : io;
}

}  // namespace

const std::vector<ScriptCommand>& CommandSet(ScriptKind kind) {
    return VocabularyOf(kind).commands;
}

QStringList CommandTexts(ScriptKind kind) {
    QStringList texts;
    for (const ScriptCommand& command : CommandSet(kind)) {
        texts << command.text;
    }
    return texts;
}

std::optional<QString> CodeOfCommand(ScriptKind kind, const QString& text) {
    const auto& map = VocabularyOf(kind).codeOfText;
    const auto found = map.constFind(text);
    if (found == map.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

std::optional<QString> CommandOfCode(ScriptKind kind, const QString& code) {
    const auto& map = VocabularyOf(kind).textOfCode;
    const auto found = map.constFind(code);
    if (found == map.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

QString UnknownCommandText(const QString& code) {
    return QStringLiteral("Unknown command \"%1\"").arg(code);
}

std::optional<QString> CodeOfUnknownCommand(const QString& text) {
    static const QString prefix = UnknownCommandText(QString()).chopped(1);
    if (text.size() != prefix.size() + 3 || !text.startsWith(prefix) ||
        !text.endsWith(QLatin1Char('"'))) {
        return std::nullopt;
    }
    return text.mid(prefix.size(), 2);
}

QStringList DecodeCommands(ScriptKind kind, const QString& codes) {
    QStringList texts;
    for (qsizetype at = 0; at + 1 < codes.size(); at += 2) {
        const QString code = codes.mid(at, 2);
        texts << CommandOfCode(kind, code).value_or(UnknownCommandText(code));
    }
    return texts;
}

QString EncodeCommands(ScriptKind kind, const QStringList& texts) {
    QString codes;
    codes.reserve(texts.size() * 2);
    for (const QString& text : texts) {
        if (const auto code = CodeOfCommand(kind, text)) {
            codes += *code;
        } else if (const auto unknown = CodeOfUnknownCommand(text)) {
            codes += *unknown;
        }
    }
    return codes;
}

}  // namespace volnar::scripts
