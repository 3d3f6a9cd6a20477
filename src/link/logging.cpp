// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/logging.h"

namespace volnar {

Q_LOGGING_CATEGORY(lcLinkSession, "volnar.link")
Q_LOGGING_CATEGORY(lcLinkOperations, "volnar.link.operations")
Q_LOGGING_CATEGORY(lcLinkSettings, "volnar.link.settings")

}  // namespace volnar
