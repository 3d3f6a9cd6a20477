// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Readable gtest output for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os) {
    *os << '[';
    for (qsizetype i = 0; i < texts.size(); ++i) {
        *os << (i ? ", " : "") << '"' << texts[i].toStdString() << '"';
    }
    *os << ']';
}
