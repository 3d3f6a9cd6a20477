// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "station_config/station_config.h"

class QMenu;

namespace volnar {

class Application;
class ConfigurationDialog;
class MainWindow;
struct StationRecord;

enum class ConfigurationCommand { BackUp, Compare, Restore };

// File > Back Up Station…, Compare Station with File…, Restore Station from
// File… in the main window's File menu.
void AddConfigurationActions(MainWindow& window, QMenu& file);

// Carries out those commands for the chosen station: a file chosen, the
// station's row asked of the directory, then the station read (and for a
// restore, the plan shown and applied once the operator confirms) through a
// link of its own, so polling in the main window goes on undisturbed. The
// work is the station_config library's; the dialog shows it.
class StationConfiguration final : public QObject {
    Q_OBJECT

public:
    explicit StationConfiguration(Application& application);
    // The dialog of the last command (tests, screenshots).
    ConfigurationDialog* LastDialog() const { return m_last; }
    // What the file dialog would give (tests: no file dialog opens).
    void Run(ConfigurationCommand command, const QString& path);

private:
    void Request(ConfigurationCommand command);
    void Start(ConfigurationCommand command, const QString& address, const StationRecord& record,
               const QString& path, const std::optional<config::StationConfig>& file,
               ConfigurationDialog* dialog);

    Application& m_application;
    ConfigurationDialog* m_last = nullptr;
};

}  // namespace volnar
