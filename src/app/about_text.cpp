// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_text.h"

namespace volnar {
namespace {

constexpr char kPauses[] = "\x01\x01\x01\x01\x01";
constexpr char kYearField[] = "YYYY";

QString Template() {
    QString text;
    text += QStringLiteral("Volnar Station Client\n");
    text += QStringLiteral("SNMP monitoring and control for Volnar stations\n\n");
    text += QLatin1String(kPauses) + QStringLiteral("Copyright 2009-") + QLatin1String(kYearField) +
            QStringLiteral(" Dorvik Instruments\n\n");
    text += QLatin1String(kPauses) + QStringLiteral("Made by the Dorvik client team\n\n");
    text +=
        QLatin1String(kPauses) + QStringLiteral(
                                     "Written in C++ with Qt and net-snmp, tested against its own "
                                     "station simulator\n\n");
    text += QLatin1String(kPauses) +
            QStringLiteral("Thanks to every operator who reported a problem\n\n");
    text += QLatin1String(kPauses) + QStringLiteral("Contact: support@dorvik.example\n\n");
    text += QLatin1String(kPauses) + QStringLiteral("Watch it all, from anywhere.");
    text += QString(8, QLatin1Char('\n'));
    return text;
}

}  // namespace

QString AboutText(int year) {
    QString text = Template();
    const QString digits = QString::number(year);
    if (year >= 1000 && year <= 9999) {
        const qsizetype field = text.indexOf(QLatin1String(kYearField));
        text.replace(field, digits.size(), digits);
    }
    return text;
}

QString BuildNumberText(const char* compiledVersion) {
    if (compiledVersion == nullptr || *compiledVersion == '\0') {
        return QStringLiteral("0.0.0.0.0.0");
    }
    return QString::fromLatin1(compiledVersion);
}

TypewriterTicker::Step TypewriterTicker::Tick() {
    if (m_position >= m_text.size()) {
        m_position = 0;
        return {Action::Clear, {}};
    }
    const QChar c = m_text.at(m_position);
    if (c.unicode() >= 32) {
        ++m_position;
        return {Action::Append, QString(c)};
    }
    if (c.unicode() == '\n') {
        ++m_position;
        return {Action::Append, QStringLiteral("\n")};
    }
    // A pause shows nothing for one tick; any other control character is
    // passed over the same way rather than stalling the typewriter on it.
    ++m_position;
    return {};
}

}  // namespace volnar
