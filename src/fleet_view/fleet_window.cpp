// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet_view/fleet_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "fleet/fleet_poller.h"
#include "fleet_view/desktop_notice.h"
#include "fleet_view/fleet_table_model.h"

namespace volnar {

FleetWindow::FleetWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_poller(new FleetPoller(this)),
      m_model(new FleetTableModel(*m_poller, this)),
      m_proxy(new QSortFilterProxyModel(this)),
      m_view(new QTableView),
      m_filter(new QLineEdit),
      m_period(new QSpinBox),
      m_ageTimer(new QTimer(this)),
      m_summary(new QLabel),
      m_note(nullptr),
      m_noteText(new QLabel),
      m_notify(new QCheckBox(tr("&Notify when a station goes silent"))),
      m_menu(new QMenu(this)),
      m_notifier(&ShowDesktopNotice) {
    setWindowTitle(tr("Fleet overview"));
    setObjectName(QStringLiteral("fleetWindow"));
    m_poller->SetReadsTriggers(true);
    m_poller->SetUnwatched(FleetSettings::Unwatched());
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(FleetTableModel::kSortRole);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_view->setModel(m_proxy);
    m_view->setObjectName(QStringLiteral("fleetTable"));
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(FleetTableModel::kAddress, Qt::AscendingOrder);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    // Tab leaves the table (arrows move between cells); the order is the
    // window's, sorted again when the table is not in use.
    m_view->setTabKeyNavigation(false);
    m_proxy->setDynamicSortFilter(false);
    m_view->setAccessibleName(tr("Stations"));
    m_view->viewport()->setMouseTracking(true);
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_filter->setObjectName(QStringLiteral("fleetFilter"));
    m_filter->setPlaceholderText(tr("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setAccessibleName(tr("Filter stations"));
    m_period->setObjectName(QStringLiteral("fleetPeriod"));
    m_period->setRange(FleetPoller::kShortestPeriodMs / 1000, 3600);
    m_period->setValue(FleetPoller::kDefaultPeriodMs / 1000);
    m_period->setSuffix(tr(" s"));
    m_period->setAccessibleName(tr("Poll period"));
    m_summary->setObjectName(QStringLiteral("fleetSummary"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* resort = new QPushButton(tr("S&ort now"));
    resort->setObjectName(QStringLiteral("fleetResort"));
    connect(resort, &QPushButton::clicked, this, &FleetWindow::Resort);
    auto* copy = new QPushButton(tr("&Copy configuration from…"));
    copy->setObjectName(QStringLiteral("fleetCopy"));
    copy->setEnabled(false);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, copy,
            [this, copy] { copy->setEnabled(m_view->selectionModel()->hasSelection()); });
    connect(copy, &QPushButton::clicked, this,
            [this] { Q_EMIT CopyRequested(SelectedAddresses()); });

    auto* bar = new QHBoxLayout;
    auto* filterLabel = new QLabel(tr("&Filter:"));
    filterLabel->setBuddy(m_filter);
    bar->addWidget(filterLabel);
    bar->addWidget(m_filter, 1);
    auto* periodLabel = new QLabel(tr("&Period:"));
    periodLabel->setBuddy(m_period);
    bar->addWidget(periodLabel);
    bar->addWidget(m_period);
    bar->addWidget(resort);
    m_notify->setObjectName(QStringLiteral("fleetNotify"));
    m_notify->setChecked(FleetSettings::NotifySilence());
    bar->addWidget(m_notify);
    bar->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    m_note = BuildPollNote();
    layout->addWidget(m_note);
    layout->addWidget(m_summary);
    layout->addLayout(bar);
    layout->addWidget(m_view);
    resize(1200, 600);

    BuildRowMenu();
    Connect();
    Tick();
}

QWidget* FleetWindow::BuildPollNote() {
    auto* note = new QFrame;
    note->setObjectName(QStringLiteral("fleetPollNote"));
    note->setFrameShape(QFrame::StyledPanel);
    m_noteText->setObjectName(QStringLiteral("fleetPollNoteText"));
    m_noteText->setWordWrap(true);
    m_noteText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* start = new QPushButton(tr("&Start polling"));
    start->setObjectName(QStringLiteral("fleetStartPolling"));
    connect(start, &QPushButton::clicked, this, [this] {
        FleetSettings::SetPollNoteRead();
        m_note->hide();
        m_view->setFocus();
        StartPolling();
    });
    auto* row = new QHBoxLayout(note);
    row->addWidget(m_noteText, 1);
    row->addWidget(start);
    note->setVisible(false);
    return note;
}

void FleetWindow::BuildRowMenu() {
    const auto add = [this](const QString& text, const char* name, auto&& slot) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        AddRowAction(action);
        return action;
    };
    add(tr("&Choose this station"), "fleetChoose", [this] { ChooseCurrent(); });
    add(tr("Open its &trend plot"), "fleetTrend", [this] {
        if (!CurrentAddress().isEmpty()) {
            Q_EMIT TrendRequested(CurrentAddress());
        }
    });
    add(tr("Start &polling it"), "fleetStart", [this] {
        if (!CurrentAddress().isEmpty()) {
            Q_EMIT StartRequested(CurrentAddress());
        }
    });
    m_watchAction =
        add(tr("&Watch in the fleet overview"), "fleetWatch", [this] { ToggleWatch(); });
    m_watchAction->setCheckable(true);
    m_menu->addSeparator();
    // To the selected stations when the row is one of them, else to the row's.
    add(tr("&Copy configuration from…"), "fleetCopyFrom", [this] {
        const QString current = CurrentAddress();
        const QStringList selected = SelectedAddresses();
        if (selected.contains(current)) {
            Q_EMIT CopyRequested(selected);
        } else if (!current.isEmpty()) {
            Q_EMIT CopyRequested({current});
        }
    });
    // The Menu key and Shift+F10 open it at the current row.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        auto* shortcut = new QShortcut(keys, m_view);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, &FleetWindow::OpenRowMenu);
    }
}

QString FleetWindow::CurrentAddress() const {
    return m_view->currentIndex().data(FleetTableModel::kAddressRole).toString();
}

void FleetWindow::AddRowAction(QAction* action) {
    action->setParent(this);
    m_menu->addAction(action);
}

QList<QAction*> FleetWindow::RowActions() const {
    return m_menu->actions();
}

void FleetWindow::OpenRowMenu() {
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid()) {
        const QRect cell = m_view->visualRect(current);
        OpenRowMenuAt(m_view->viewport()->mapToGlobal(cell.bottomLeft()));
    }
}

void FleetWindow::OpenRowMenuAt(const QPoint& globalPos) {
    const QModelIndex current = m_proxy->mapToSource(m_view->currentIndex());
    if (!current.isValid()) {
        return;
    }
    m_lastUse.start();
    m_watchAction->setChecked(m_poller->Row(current.row()).watched);
    m_menu->popup(globalPos);
}

void FleetWindow::ToggleWatch() {
    const QModelIndex current = m_proxy->mapToSource(m_view->currentIndex());
    if (!current.isValid()) {
        return;
    }
    const QString address = m_poller->Row(current.row()).address;
    FleetSettings::SetWatched(address, !m_poller->Row(current.row()).watched);
    m_poller->SetUnwatched(FleetSettings::Unwatched());
    ShowPollNote();
    Tick();
}

void FleetWindow::ShowPollNote() {
    const int watched = m_poller->WatchedCount();
    m_noteText->setText(
        PollNoteText(watched, m_poller->RowCount() - watched, m_poller->PeriodMs() / 1000));
}

void FleetWindow::StartPolling() {
    if (isVisible() && FleetSettings::PollNoteRead()) {
        m_poller->Start();
    }
}

void FleetWindow::Connect() {
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            [this](const QString& text) { m_proxy->setFilterFixedString(text); });
    connect(m_period, &QSpinBox::valueChanged, m_poller,
            [this](int seconds) { m_poller->SetPeriodMs(seconds * 1000); });
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        m_view->setCurrentIndex(index);
        ChooseCurrent();
    });
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(QKeySequence(key), m_view);
        enter->setContext(Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, &FleetWindow::ChooseCurrent);
    }
    connect(m_view->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &FleetWindow::Resort);
    connect(m_ageTimer, &QTimer::timeout, this, &FleetWindow::Tick);
    connect(m_notify, &QCheckBox::toggled, this, &FleetSettings::SetNotifySilence);
    connect(m_period, &QSpinBox::valueChanged, this, &FleetWindow::ShowPollNote);
}

void FleetWindow::ChooseCurrent() {
    const QModelIndex source = m_proxy->mapToSource(m_view->currentIndex());
    if (source.isValid()) {
        Q_EMIT StationChosen(m_poller->Row(source.row()).address);
    }
}

QStringList FleetWindow::SelectedAddresses() const {
    QModelIndexList rows = m_view->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());  // in the table's order
    QStringList addresses;
    for (const QModelIndex& index : rows) {
        addresses << m_poller->Row(m_proxy->mapToSource(index).row()).address;
    }
    return addresses;
}

bool FleetWindow::Held() const {
    const bool onTable = m_view->underMouse() || m_view->hasFocus();
    return onTable && m_lastUse.isValid() && m_lastUse.elapsed() < kHoldMs;
}

void FleetWindow::Resort() {
    m_proxy->sort(m_view->horizontalHeader()->sortIndicatorSection(),
                  m_view->horizontalHeader()->sortIndicatorOrder());
}

void FleetWindow::Tick() {
    m_model->RefreshStates();
    m_summary->setText(SummaryText(SummaryOf(*m_poller)));
    NotifySilence();
    if (!Held()) {
        Resort();
    }
}

void FleetWindow::NotifySilence() {
    std::vector<SilenceLook> stations;
    stations.reserve(static_cast<std::size_t>(m_poller->RowCount()));
    for (int n = 0; n < m_poller->RowCount(); ++n) {
        const FleetRow& row = m_poller->Row(n);
        const FleetState state = m_poller->StateOf(n);
        stations.push_back(
            {.address = row.address,
             .watched = row.watched,
             .answeredOnce = row.lastAnswerMs.has_value(),
             .silent = state == FleetState::Silent || state == FleetState::NoSocket});
    }
    // Followed whether told or not, so ticking the box later tells only
    // what goes silent from then on.
    const std::vector<QString> silent = m_silence.Update(stations);
    if (!silent.empty() && m_notify->isChecked() && m_notifier) {
        m_notifier(tr("Fleet overview"), SilenceNoticeText(silent));
    }
}

bool FleetWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu) {
        // A right click chooses the row under the pointer first; the Menu
        // key opens the menu of the current row.
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        if (watched == m_view->viewport() && menu->reason() == QContextMenuEvent::Mouse) {
            const QModelIndex at = m_view->indexAt(menu->pos());
            if (at.isValid()) {
                m_view->setCurrentIndex(at);
                OpenRowMenuAt(menu->globalPos());
            }
        } else {
            OpenRowMenu();
        }
        return true;
    }
    switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::FocusIn:
        case QEvent::Enter:
            m_lastUse.start();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

FleetWindow::~FleetWindow() = default;

void FleetWindow::SetStations(const std::vector<StationRecord>& records) {
    m_poller->SetStations(records);
    m_model->Reset();
    ShowPollNote();
    Tick();
    StartPolling();
}

void FleetWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Silence while the window was closed is not news.
    m_silence = SilenceNotices();
    ShowPollNote();
    m_note->setVisible(!FleetSettings::PollNoteRead());
    m_ageTimer->start(1000);
    Q_EMIT RefreshRequested();
}

void FleetWindow::closeEvent(QCloseEvent* event) {
    // Nothing is polled while the window is closed.
    m_poller->Stop();
    m_ageTimer->stop();
    QWidget::closeEvent(event);
}

}  // namespace volnar
