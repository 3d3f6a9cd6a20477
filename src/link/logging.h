// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

namespace volnar {

// The link's logging categories (QT_LOGGING_RULES="volnar.link*.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcLinkSession)     // "volnar.link": the socket, dropped datagrams
Q_DECLARE_LOGGING_CATEGORY(lcLinkOperations)  // "volnar.link.operations": every operation's end
Q_DECLARE_LOGGING_CATEGORY(lcLinkSettings)    // "volnar.link.settings": a station's clamped values

}  // namespace volnar
