// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace volnar {

// Asks the desktop's notification service (org.freedesktop.Notifications on
// the session bus) to show a notice, without waiting for its answer. Without
// a session bus or a notification service nothing is shown and nothing
// fails.
void ShowDesktopNotice(const QString& summary, const QString& body);

}  // namespace volnar
