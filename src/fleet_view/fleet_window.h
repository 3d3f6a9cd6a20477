// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <vector>

#include "core/station_record.h"

class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;
class QTimer;

namespace volnar {

class FleetPoller;
class FleetTableModel;

// The fleet overview: every station of the directory polled for its status
// record, one row each. Sorted by a column's header, filtered by text;
// silent rows are coloured; the counts of each state stand above. Enter or
// a double click on a row asks for that station to become the main window's
// chosen station; "Copy configuration from…" asks for the selected rows'
// stations to be given another's configuration. The rows hold their order
// while the pointer or the keyboard is on the table and busy there: they are
// sorted again after a pause of kHoldMs, on a header click or on Sort now.
class FleetWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetWindow)

public:
    explicit FleetWindow(QWidget* parent = nullptr);
    ~FleetWindow() override;

    // Replaces the stations and polls them from now on.
    void SetStations(const std::vector<StationRecord>& records);
    FleetPoller& Poller() { return *m_poller; }
    QTableView* View() const { return m_view; }
    QLineEdit* Filter() const { return m_filter; }
    static constexpr int kHoldMs = 3000;
    // Sorts the rows now (held or not).
    void Resort();

Q_SIGNALS:
    void StationChosen(const QString& address);
    // "Copy configuration from…" pressed with these stations selected.
    void CopyRequested(const QStringList& addresses);
    // Shown again: the directory may have changed meanwhile.
    void RefreshRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Connect();
    void Tick();
    bool Held() const;
    void ChooseCurrent();
    QStringList SelectedAddresses() const;

    FleetPoller* m_poller;
    FleetTableModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTableView* m_view;
    QLineEdit* m_filter;
    QSpinBox* m_period;
    QTimer* m_ageTimer;
    QLabel* m_summary;
    QElapsedTimer m_lastUse;  // the pointer or a key on the table
};

}  // namespace volnar
