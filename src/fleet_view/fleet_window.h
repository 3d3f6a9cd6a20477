// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <vector>

#include "core/station_record.h"
#include "fleet/fleet_health.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
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
// chosen station. The rows hold their order while the pointer or the
// keyboard is on the table and busy there: they are sorted again after a
// pause of kHoldMs, on a header click or on Sort now.
//
// A row's menu (right click, the Menu key or Shift+F10) lists the row
// actions: choose the station, open its trend plot, start polling it in the
// main window, and whether it is watched here. The window only emits what
// was asked; each action acts on CurrentAddress().
//
// Unwatched stations (the operator's setting, FleetSettings) stay in the
// table, greyed and "not watched", so they can be watched again from their
// menu; they are not polled. Before the first poll ever, a note says what
// will be polled; polling starts when the operator has read it. With "Notify
// when a station goes silent" ticked, a watched station going silent raises
// a desktop notice.
//
// "Copy configuration from…" asks for the selected rows' stations to be
// given another's configuration.
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

    // The address of the table's current row; empty without one.
    QString CurrentAddress() const;
    // Appends an action to the row menu (the window owns it from then on).
    void AddRowAction(QAction* action);
    QList<QAction*> RowActions() const;
    // Opens the row menu beside the current row (as the Menu key does).
    void OpenRowMenu();
    QMenu* RowMenu() const { return m_menu; }
    // How silence is told (the desktop's notification service by default).
    using Notifier = std::function<void(const QString& summary, const QString& body)>;
    void SetNotifier(Notifier notifier) { m_notifier = std::move(notifier); }

Q_SIGNALS:
    void StationChosen(const QString& address);
    // The station's trend plot, or polling it in the main window.
    void TrendRequested(const QString& address);
    void StartRequested(const QString& address);
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
    void BuildRowMenu();
    void OpenRowMenuAt(const QPoint& globalPos);
    QWidget* BuildPollNote();
    void Tick();
    void NotifySilence();
    bool Held() const;
    void ChooseCurrent();
    void ToggleWatch();
    // Polls once the note before the first poll has been read.
    void StartPolling();
    void ShowPollNote();
    QStringList SelectedAddresses() const;

    FleetPoller* m_poller;
    FleetTableModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTableView* m_view;
    QLineEdit* m_filter;
    QSpinBox* m_period;
    QTimer* m_ageTimer;
    QLabel* m_summary;
    QWidget* m_note;
    QLabel* m_noteText;
    QCheckBox* m_notify;
    QMenu* m_menu;
    QAction* m_watchAction = nullptr;
    QElapsedTimer m_lastUse;  // the pointer or a key on the table
    SilenceNotices m_silence;
    Notifier m_notifier;
};

}  // namespace volnar
