#include "fleet_view/fleet_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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
      m_ageTimer(new QTimer(this)) {
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
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_filter->setObjectName(QStringLiteral("fleetFilter"));
    m_filter->setPlaceholderText(tr("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_period->setObjectName(QStringLiteral("fleetPeriod"));
    m_period->setRange(FleetPoller::kShortestPeriodMs / 1000, 3600);
    m_period->setValue(FleetPoller::kDefaultPeriodMs / 1000);
    m_period->setSuffix(tr(" s"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(tr("Filter:")));
    bar->addWidget(m_filter, 1);
    bar->addWidget(new QLabel(tr("Period:")));
    bar->addWidget(m_period);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view);
    resize(1200, 600);

    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            [this](const QString& text) { m_proxy->setFilterFixedString(text); });
    connect(m_period, &QSpinBox::valueChanged, m_poller,
            [this](int seconds) { m_poller->SetPeriodMs(seconds * 1000); });
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        const QModelIndex source = m_proxy->mapToSource(index);
        if (source.isValid()) {
            Q_EMIT StationChosen(m_poller->Row(source.row()).address);
        }
    });
    connect(m_ageTimer, &QTimer::timeout, m_model, &FleetTableModel::RefreshStates);
}

FleetWindow::~FleetWindow() = default;

void FleetWindow::SetStations(const std::vector<StationRecord>& records) {
    m_poller->SetStations(records);
    m_model->Reset();
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
