// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/board_request.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <algorithm>

#include "core/text_rules.h"

#include "link/logging.h"

namespace volnar {

namespace {
constexpr std::size_t kMaxArcs = 128;

// A directory row is written by every operator of a shared directory: a
// TIMEOUT or RETRIES past what the station dialogs accept would hold one
// request for hours (RETRIES 2000000000 resends it for ever), so it is
// clamped, and said once per station, field and value.
std::int32_t Clamped(const QString& address, const char* field, std::int32_t value, int low,
                     int high) {
    const std::int32_t clamped = std::clamp<std::int32_t>(value, low, high);
    if (clamped != value) {
        static QMutex mutex;
        static QSet<QString> said;
        const QString key = address + QLatin1Char(' ') + QLatin1String(field) + QLatin1Char('=') +
                            QString::number(value);
        const QMutexLocker lock(&mutex);
        if (!said.contains(key) && said.size() < 10'000) {
            said.insert(key);
            qCWarning(lcLinkSettings).noquote()
                << QStringLiteral("%1: %2 %3 is out of range; %4 is used")
                       .arg(address, QLatin1String(field))
                       .arg(value)
                       .arg(clamped);
        }
    }
    return clamped;
}

}  // namespace

std::optional<std::vector<std::uint32_t>> ParseDottedOid(std::string_view text) {
    std::vector<std::uint32_t> arcs;
    std::size_t pos = 0;
    while (true) {
        std::uint64_t value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
            if (value > 0xFFFFFFFFull) {
                return std::nullopt;
            }
            ++digits;
            ++pos;
        }
        if (digits == 0 || arcs.size() == kMaxArcs) {
            return std::nullopt;
        }
        arcs.push_back(static_cast<std::uint32_t>(value));
        if (pos == text.size()) {
            break;
        }
        if (text[pos] != '.') {
            return std::nullopt;
        }
        ++pos;
    }
    if (arcs.size() < 2) {
        return std::nullopt;
    }
    return arcs;
}

std::optional<QString> CanonicalIpv4(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    QStringList canonical;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3) {
            return std::nullopt;
        }
        int value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return std::nullopt;
            }
            value = value * 10 + (c.unicode() - '0');
        }
        if (value > 255) {
            return std::nullopt;
        }
        canonical << QString::number(value);
    }
    return canonical.join(QLatin1Char('.'));
}

std::optional<StationSettings> StationSettingsOf(const QString& address,
                                                 const StationRecord& record) {
    constexpr qint64 kTimeoutUnitMicroseconds = 64LL * 10'000LL;
    const std::int32_t port = text::DecimalToInt(record.PORT.toStdString());
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    StationSettings settings;
    settings.address = address;
    settings.port = static_cast<quint16>(port);
    settings.community = StationBytes(record.PASSWORD);
    // 0, empty or NULL: the SNMP layer's default time-out.
    const std::int32_t timeout = text::DecimalToInt(record.TIMEOUT.toStdString());
    settings.timeoutMicroseconds =
        timeout == 0 ? 0
                     : Clamped(address, "TIMEOUT", timeout, kTimeoutMin, kTimeoutMax) *
                           kTimeoutUnitMicroseconds;
    settings.retries = Clamped(address, "RETRIES", text::DecimalToInt(record.RETRIES.toStdString()),
                               kRetriesMin, kRetriesMax);
    return settings;
}

}  // namespace volnar
