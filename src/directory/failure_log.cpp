// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/failure_log.h"

#include <QLoggingCategory>
#include <chrono>

#include "directory/logging.h"

namespace volnar {
namespace {

qint64 SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString WithLeftOut(const QString& line, int leftOut) {
    return leftOut == 0 ? line
                        : QStringLiteral("%1 (%2 lines like it left out)").arg(line).arg(leftOut);
}

}  // namespace

FailureLog::FailureLog(std::function<qint64()> nowMs)
    : m_now(nowMs ? std::move(nowMs) : std::function<qint64()>(SteadyMs)) {}

bool FailureLog::Admit(int* leftOut) {
    *leftOut = 0;
    if (m_failures == 0) {
        return true;
    }
    const qint64 now = m_now();
    if (m_written >= kFullLines && now - m_lastWrittenMs < kQuietMs) {
        ++m_leftOut;
        ++m_leftOutInRun;
        return false;
    }
    *leftOut = m_leftOut;
    m_leftOut = 0;
    ++m_written;
    m_lastWrittenMs = now;
    return true;
}

void FailureLog::Failure(const QString& line) {
    ++m_failures;
    int leftOut = 0;
    if (Admit(&leftOut)) {
        qCWarning(lcDirectory).noquote() << WithLeftOut(line, leftOut);
    }
}

void FailureLog::Note(const QString& line) {
    int leftOut = 0;
    if (Admit(&leftOut)) {
        qCInfo(lcDirectory).noquote() << WithLeftOut(line, leftOut);
    }
}

void FailureLog::Success() {
    if (m_leftOutInRun > 0) {
        qCInfo(lcDirectory).noquote()
            << QStringLiteral("working again after %1 failures in a row").arg(m_failures);
    }
    m_failures = 0;
    m_written = 0;
    m_leftOut = 0;
    m_leftOutInRun = 0;
}

}  // namespace volnar
