// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/logging.h"

namespace volnar {

// Debug lines only when asked for: an operator's log gets the warnings and
// notes, not a line for every late copy of a resent poll.
Q_LOGGING_CATEGORY(lcLinkSession, "volnar.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLinkOperations, "volnar.link.operations", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLinkSettings, "volnar.link.settings", QtInfoMsg)

}  // namespace volnar
