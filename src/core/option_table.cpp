// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/option_table.h"

#include <QCommandLineParser>

namespace volnar {
namespace {

QString OptionSyntax(const CommandLineOption& option) {
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.valueName != nullptr) {
        text += QLatin1Char(' ') + QLatin1String(option.valueName);
    }
    return text;
}

}  // namespace

void AddOptions(QCommandLineParser& parser, std::span<const CommandLineOption> options) {
    for (const CommandLineOption& option : options) {
        QStringList names;
        if (option.shortName != nullptr) {
            names << QLatin1String(option.shortName);
        }
        names << QLatin1String(option.name);
        QCommandLineOption parsed(names);
        if (option.valueName != nullptr) {
            parsed.setValueName(QLatin1String(option.valueName));
        }
        parser.addOption(parsed);
    }
}

QString OptionsUsage(const char* program, std::span<const CommandLineOption> options) {
    QString text = QStringLiteral("Usage: ") + QLatin1String(program);
    for (const CommandLineOption& option : options) {
        text += QStringLiteral(" [") + OptionSyntax(option) + QLatin1Char(']');
    }
    return text;
}

QString OptionsHelp(const char* program, const char* description,
                    std::span<const CommandLineOption> options) {
    constexpr qsizetype kColumn = 24;
    constexpr qsizetype kWidth = 80;
    const QString indent(kColumn, QLatin1Char(' '));
    QString text = OptionsUsage(program, options) + QStringLiteral("\n\n") +
                   QLatin1String(description) + QStringLiteral("\n\nOptions:\n");
    for (const CommandLineOption& option : options) {
        QString line = QStringLiteral("  ");
        if (option.shortName != nullptr) {
            line += QLatin1Char('-') + QLatin1String(option.shortName) + QStringLiteral(", ");
        }
        line += OptionSyntax(option);
        // Two spaces at least between an option and its description; a
        // longer option has its description start on the next line.
        if (line.size() > kColumn - 2) {
            text += line + QLatin1Char('\n');
            line = indent;
        } else {
            line = line.leftJustified(kColumn);
        }
        // The description wrapped at 80 columns under its own column.
        bool lineEmpty = true;
        const QStringList words = QString::fromLatin1(option.description).split(QLatin1Char(' '));
        for (const QString& word : words) {
            if (!lineEmpty && line.size() + 1 + word.size() > kWidth) {
                text += line + QLatin1Char('\n');
                line = indent;
                lineEmpty = true;
            }
            line += (lineEmpty ? QString() : QStringLiteral(" ")) + word;
            lineEmpty = false;
        }
        text += line + QLatin1Char('\n') + indent + QStringLiteral("Example: ") +
                QLatin1String(option.example) + QLatin1Char('\n');
    }
    return text;
}

QString OneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char('?');
        }
    }
    return text;
}

}  // namespace volnar
