// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace volnar {

// The log of a directory connection that retries by itself. A directory
// that stays broken (a server down for a weekend, a file that is no station
// database) fails at every retry and every background lookup: each failure
// of a run is logged in full the first few times, then one line a minute
// carrying the count of those left out, so days of it write a few kilobytes
// instead of hundreds of megabytes. A success ends the run, with a line
// when lines were left out.
class FailureLog final {
public:
    static constexpr int kFullLines = 5;
    static constexpr qint64 kQuietMs = 60000;

    // `nowMs`: a monotonic clock in milliseconds (the steady clock when empty).
    explicit FailureLog(std::function<qint64()> nowMs = {});

    // A failure: a warning of volnar.directory, or nothing when left out.
    void Failure(const QString& line);
    // What the retries do ("connected"): logged outside a run of failures,
    // and within one as its failures are.
    void Note(const QString& line);
    void Success();

    int FailuresInRow() const { return m_failures; }

private:
    // True when a line may be written now; `*leftOut` the lines not written
    // since the last one.
    bool Admit(int* leftOut);

    std::function<qint64()> m_now;
    int m_failures = 0;  // in the current run
    int m_written = 0;   // lines written in the current run
    int m_leftOut = 0;   // since the last line written
    int m_leftOutInRun = 0;
    qint64 m_lastWrittenMs = 0;
};

}  // namespace volnar
