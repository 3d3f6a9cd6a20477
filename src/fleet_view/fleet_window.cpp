// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet_view/fleet_window.h"

#include <algorithm>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "fleet/fleet_poller.h"
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
      m_summary(new QLabel) {
    setWindowTitle(tr("Fleet overview"));
    setObjectName(QStringLiteral("fleetWindow"));
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
    bar->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addLayout(bar);
    layout->addWidget(m_view);
    resize(1200, 600);

    Connect();
    Tick();
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
    if (!Held()) {
        Resort();
    }
}

bool FleetWindow::eventFilter(QObject* watched, QEvent* event) {
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
    Tick();
    if (isVisible()) {
        m_poller->Start();
    }
}

void FleetWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
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
