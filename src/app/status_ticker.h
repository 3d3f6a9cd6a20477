// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace volnar {

// The status bar's product line (part 3): four lines of our own, one every
// two seconds, so the four rotate every eight seconds. It runs whether or not
// a station is connected.
class StatusTicker final : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 2000;
    // Lines are centred in this many characters.
    static constexpr int kWidth = 40;

    explicit StatusTicker(QObject* parent = nullptr);

    // The four lines, unpadded, in the order they are shown; the maker's line
    // carries the year (this year unless set).
    QStringList Lines() const;
    void SetYear(int year) { m_year = year; }
    // The line shown before the first tick.
    static QString CreditLine();
    // `line` with leading spaces that centre it in kWidth characters.
    static QString Centred(const QString& line);

    void Start() { m_timer.start(); }
    void Tick();
    int Counter() const { return m_counter; }

Q_SIGNALS:
    void TextChanged(const QString& text);

private:
    QTimer m_timer;
    int m_counter = 0;
    int m_year = 0;

    Q_DISABLE_COPY_MOVE(StatusTicker)
};

}  // namespace volnar
