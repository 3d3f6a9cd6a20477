// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/status_ticker.h"

#include <QDate>

namespace volnar {

StatusTicker::StatusTicker(QObject* parent) : QObject(parent) {
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StatusTicker::Tick);
}

QStringList StatusTicker::Lines() const {
    const int year = m_year > 0 ? m_year : QDate::currentDate().year();
    return {QStringLiteral("Volnar Station Client"), QStringLiteral("Dorvik %1").arg(year),
            QStringLiteral("www.dorvik.example"), QStringLiteral("Every volt, from anywhere")};
}

QString StatusTicker::CreditLine() {
    return Centred(QStringLiteral("Volnar by Dorvik"));
}

QString StatusTicker::Centred(const QString& line) {
    const int padding = line.size() < kWidth ? (kWidth - static_cast<int>(line.size())) / 2 : 0;
    return QString(padding, QLatin1Char(' ')) + line;
}

void StatusTicker::Tick() {
    ++m_counter;
    const QStringList lines = Lines();
    Q_EMIT TextChanged(Centred(lines.at(m_counter - 1)));
    if (m_counter == lines.size()) {
        m_counter = 0;
    }
}

}  // namespace volnar
