// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/database_location.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "directory/database_template.h"
#include "directory/station_directory.h"

namespace volnar {
namespace {

QSettings Settings() {
    return QSettings(QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kSettingsApplication));
}

}  // namespace

QString DefaultDatabaseLocation() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/VOLN.db");
}

QString ReadDatabaseLocation() {
    QSettings settings = Settings();
    const QString key = QString::fromLatin1(kLocationKey);
    // A missing or empty location is the default: an empty one names no
    // database at all.
    if (settings.value(key).toString().trimmed().isEmpty()) {
        settings.setValue(key, DefaultDatabaseLocation());
        settings.sync();
    }
    return settings.value(key).toString();
}

void StoreDatabaseLocation(const QString& location) {
    QSettings settings = Settings();
    settings.setValue(QString::fromLatin1(kLocationKey), location);
    settings.sync();
}

StartupLocation PrepareDatabaseLocation(const QString& overrideLocation) {
    StartupLocation result;
    result.location = overrideLocation.isEmpty() ? ReadDatabaseLocation() : overrideLocation;
    if (result.location.isEmpty() || IsConnectionString(result.location)) {
        return result;
    }
    // The default folder is ours to create; a folder the operator named is
    // not: a missing one is reported by the connection attempt.
    if (result.location == DefaultDatabaseLocation()) {
        QDir().mkpath(QFileInfo(result.location).absolutePath());
    }
    result.templateWritten = CreateDatabaseTemplate(result.location) == TemplateResult::Created;
    return result;
}

}  // namespace volnar
