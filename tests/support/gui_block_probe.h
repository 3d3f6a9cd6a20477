// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace volnar::testing {

// How long the GUI thread went without handling its events: a 5 ms timer on
// this thread notes the longest gap between two of its ticks, less the
// period. A blocked thread shows as one long gap.
class GuiBlockProbe final : public QObject {
public:
    GuiBlockProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kPeriodMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        Reset();
    }

    // Starts measuring afresh (after a set-up whose own work is not measured).
    void Reset() {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start();
    }

    int MaxBlockMs() const { return static_cast<int>(std::max<qint64>(0, m_longest - kPeriodMs)); }

private:
    static constexpr int kPeriodMs = 5;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

}  // namespace volnar::testing
