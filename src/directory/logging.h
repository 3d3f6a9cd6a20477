// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

namespace volnar {

// The station directory: connections, failures, the worker's reconnections.
Q_DECLARE_LOGGING_CATEGORY(lcDirectory)

}  // namespace volnar
