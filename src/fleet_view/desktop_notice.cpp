// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet_view/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace volnar {

void ShowDesktopNotice(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Volnar") << 0U << QStringLiteral("network-error") << summary << body
         << QStringList() << QVariantMap() << -1;
    // Sent without waiting: a missing service answers with an error nobody
    // reads, and the bus is never asked to start one.
    call.setAutoStartService(false);
    bus.send(call);
}

}  // namespace volnar
