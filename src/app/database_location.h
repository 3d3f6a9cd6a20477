// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace volnar {

// The per-user store of the database location.
inline constexpr char kSettingsOrganization[] = "Dorvik";
inline constexpr char kSettingsApplication[] = "VOLN";
inline constexpr char kLocationKey[] = "Options/Database/Location";

// <AppDataLocation>/VOLN.db
QString DefaultDatabaseLocation();

// Reads the stored location whole. When the key is missing or empty it is
// stored with the default first.
QString ReadDatabaseLocation();

// Stores the location at once; the open connection keeps its database until
// the next start.
void StoreDatabaseLocation(const QString& location);

// The start-up steps before the directory connects: the location (an
// override from the command line is used for this run only and never
// stored), and the template written when the location is a file path at
// which nothing exists.
struct StartupLocation {
    QString location;
    bool templateWritten = false;
};
StartupLocation PrepareDatabaseLocation(const QString& overrideLocation = {});

}  // namespace volnar
