// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the benchmarks that compare two sides: the spread of per-round
// figures, and a message handler that keeps Qt's notes off the name=value
// output.
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace volnar::bench {

// At least this many rounds, so one disturbed round cannot move the median.
constexpr int kMinRounds = 7;

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

inline Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    const double median =
        values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

// Rounds from the environment variable, never fewer than kMinRounds.
inline int RoundsFromEnvironment(const char* variable) {
    return std::max(kMinRounds, qEnvironmentVariableIntValue(variable));
}

// Prints name=value, name_min=..., name_max=... for a spread.
inline void PrintSpread(const char* name, const Spread& spread, int decimals) {
    std::printf("%s=%.*f\n%s_min=%.*f\n%s_max=%.*f\n", name, decimals, spread.median, name,
                decimals, spread.min, name, decimals, spread.max);
}

// Qt's messages go to stderr, without the platform plugin's notes (qt.qpa.*
// and the offscreen plugin's "This plugin does not support ...") and the
// client's debug and info lines; stdout holds only name=value lines.
inline void FilterQtMessages(QtMsgType type, const QMessageLogContext& context,
                             const QString& message) {
    const QByteArray category(context.category ? context.category : "default");
    if (category.startsWith("qt.qpa.") || message.startsWith(u"This plugin does not support") ||
        (category.startsWith("volnar.") && (type == QtDebugMsg || type == QtInfoMsg))) {
        return;
    }
    std::fprintf(stderr, "[%s] %s\n", category.constData(), qPrintable(message));
}

}  // namespace volnar::bench
