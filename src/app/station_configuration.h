// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>
#include <vector>

#include "station_config/station_config.h"

class QMenu;
class QWidget;

namespace volnar {

class Application;
class ConfigurationDialog;
class CopySourceDialog;
class FleetCopyDialog;
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
//
// Also the fleet overview's "Copy configuration from…": the source chosen
// (a station of the directory that is not a target, or a file) and read once,
// then every target read and planned (FleetCopyRun), all plans shown in one
// list, and once the operator confirms, sent station by station.
class StationConfiguration final : public QObject {
    Q_OBJECT

public:
    explicit StationConfiguration(Application& application);
    // The dialog of the last command (tests, screenshots).
    ConfigurationDialog* LastDialog() const;
    // What the file dialog would give (tests: no file dialog opens).
    void Run(ConfigurationCommand command, const QString& path);
    // The fleet window's request: the source dialog for these targets, its
    // dialogs over `window` (the main window once that is gone).
    void CopyToStations(const QStringList& selected, QWidget* window);
    CopySourceDialog* LastSourceDialog() const;
    FleetCopyDialog* LastCopyDialog() const;

private:
    void Request(ConfigurationCommand command);
    void Start(ConfigurationCommand command, const QString& address, const StationRecord& record,
               const QString& path, const std::optional<config::StationConfig>& file,
               ConfigurationDialog* dialog);
    void StartCopy(const QStringList& targets, const std::vector<StationRecord>& records,
                   const QString& station, const QString& file, bool copyName, QWidget* window);

    Application& m_application;
    QPointer<ConfigurationDialog> m_last;
    QPointer<CopySourceDialog> m_lastSource;
    QPointer<FleetCopyDialog> m_lastCopy;
};

}  // namespace volnar
