// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/pictures.h"
#include "app/status_area.h"
#include "core/relay_confirmation.h"
#include "core/status_panel.h"

namespace volnar {
namespace {

QString Name(const char* stem, int n) {
    return QString::fromLatin1(stem) + QString::number(n);
}

// A readout: screen readers find it by its name, the Tab key passes it by.
QLineEdit* ReadOnlyEdit(const QString& objectName, const QString& accessibleName,
                        const QString& text = QString()) {
    auto* edit = new QLineEdit(text);
    edit->setObjectName(objectName);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setAccessibleName(accessibleName);
    return edit;
}

QLabel* Label(const QString& objectName, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    return label;
}

QPushButton* Button(const QString& objectName, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

QPushButton* PictureButton(const QString& objectName, const QIcon& icon, const QString& tip) {
    auto* button = Button(objectName, QString());
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}

}  // namespace

std::optional<QColor> RelayStateColor(const QString& text) {
    const QString state = text.left(9).trimmed();
    if (state.startsWith(QLatin1String("=="))) {
        return QColor(0, 0, 0);
    }
    if (state.startsWith(QLatin1String("ON"))) {
        return QColor(0, 170, 0);
    }
    if (state.startsWith(QLatin1String("OF"))) {
        return QColor(255, 0, 0);
    }
    return std::nullopt;
}

void StationChooser::showPopup() {
    Q_EMIT PopupOpening();
    QComboBox::showPopup();
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(tr("Volnar Windows Client  (beta 1)"));
    setWindowIcon(MakePicture(Picture::Application));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* top = new QHBoxLayout;
    top->addWidget(BuildChooserGroup(), 3);
    top->addWidget(BuildStationGroups(), 2);
    layout->addLayout(top);
    auto* middle = new QHBoxLayout;
    middle->addWidget(BuildAdcGroup(), 3);
    middle->addWidget(BuildRelayGroup(), 2);
    layout->addLayout(middle);
    layout->addWidget(BuildLowerGroups());
    layout->addWidget(BuildButtonRow());
    setCentralWidget(central);

    BuildMenus();
    BuildStatusBar();
    SetTabOrder();
    SetStationControlsEnabled(false);
}

QStringList MainWindow::TabOrder() {
    QStringList order = {
        QStringLiteral("stationChooser"),   QStringLiteral("addIpButton"),
        QStringLiteral("editIpButton"),     QStringLiteral("deleteIpButton"),
        QStringLiteral("setDefaultButton"), QStringLiteral("stationNameSetButton")};
    for (int n = 1; n <= kAdcCount; ++n) {
        order << Name("adcButton", n);
    }
    for (int n = 1; n <= kRelayCount; ++n) {
        order << Name("relayButton", n);
    }
    order << QStringLiteral("generalButton") << QStringLiteral("alertsButton")
          << QStringLiteral("scriptsButton");
    for (int n = 1; n <= 5; ++n) {
        order << Name("alarmPinButton", n);
    }
    order << QStringLiteral("rdbButton") << QStringLiteral("startButton")
          << QStringLiteral("stopButton") << QStringLiteral("exitButton")
          << QStringLiteral("temperatureButton");
    return order;
}

void MainWindow::SetTabOrder() {
    // Top to bottom, left to right, as the groups are laid out; the
    // readouts are not stops.
    QWidget* previous = nullptr;
    for (const QString& name : TabOrder()) {
        auto* control = findChild<QWidget*>(name);
        if (previous && control) {
            setTabOrder(previous, control);
        }
        previous = control ? control : previous;
    }
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::BuildChooserGroup() {
    auto* group = new QGroupBox(tr("Choose IP Address"));
    group->setObjectName(QStringLiteral("chooseIpGroup"));
    auto* layout = new QVBoxLayout(group);
    m_chooser = new StationChooser;
    m_chooser->setObjectName(QStringLiteral("stationChooser"));
    m_chooser->setEditable(true);
    m_chooser->setInsertPolicy(QComboBox::NoInsert);
    m_chooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_chooser->setMinimumContentsLength(34);
    // A fixed-pitch font so the padded addresses line up with their comments.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setStyleHint(QFont::Monospace);
    m_chooser->setFont(mono);
    m_chooser->setAccessibleName(tr("Station address"));
    layout->addWidget(m_chooser);
    connect(m_chooser, &StationChooser::PopupOpening, this, &MainWindow::ChooserOpening);

    auto* buttons = new QHBoxLayout;
    auto* add = Button(QStringLiteral("addIpButton"), tr("&Add IP"));
    auto* edit = Button(QStringLiteral("editIpButton"), tr("&Edit IP"));
    auto* remove = Button(QStringLiteral("deleteIpButton"), tr("&Delete IP"));
    auto* setDefault = Button(QStringLiteral("setDefaultButton"), tr("Set Defau&lt"));
    for (QPushButton* b : {add, edit, remove, setDefault}) {
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &MainWindow::AddIpRequested);
    connect(edit, &QPushButton::clicked, this, &MainWindow::EditIpRequested);
    connect(remove, &QPushButton::clicked, this, &MainWindow::DeleteIpRequested);
    connect(setDefault, &QPushButton::clicked, this, &MainWindow::SetDefaultRequested);
    return group;
}

QWidget* MainWindow::BuildStationGroups() {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* nameGroup = new QGroupBox(tr("Station Name"));
    nameGroup->setObjectName(QStringLiteral("stationNameGroup"));
    auto* nameLayout = new QHBoxLayout(nameGroup);
    m_stationName = ReadOnlyEdit(QStringLiteral("stationNameEdit"), tr("Station name"));
    auto* set = Button(QStringLiteral("stationNameSetButton"), tr("SE&T"));
    set->setAccessibleName(tr("Set station name"));
    nameLayout->addWidget(m_stationName, 1);
    nameLayout->addWidget(set);
    connect(set, &QPushButton::clicked, this, &MainWindow::StationNameRequested);
    layout->addWidget(nameGroup);

    auto* row = new QHBoxLayout;
    auto* temperature = new QGroupBox(tr("Temperature"));
    temperature->setObjectName(QStringLiteral("temperatureGroup"));
    auto* tLayout = new QHBoxLayout(temperature);
    m_fahrenheit = ReadOnlyEdit(QStringLiteral("temperatureFahrenheitEdit"),
                                tr("Temperature in degrees Fahrenheit"));
    m_celsius = ReadOnlyEdit(QStringLiteral("temperatureCelsiusEdit"),
                             tr("Temperature in degrees Celsius"));
    tLayout->addWidget(m_fahrenheit);
    tLayout->addWidget(new QLabel(QStringLiteral("\u00B0F")));
    tLayout->addWidget(m_celsius);
    tLayout->addWidget(new QLabel(QStringLiteral("\u00B0C")));
    row->addWidget(temperature, 3);

    auto* uptime = new QGroupBox(tr("System Uptime"));
    uptime->setObjectName(QStringLiteral("uptimeGroup"));
    auto* uLayout = new QHBoxLayout(uptime);
    m_uptime = ReadOnlyEdit(QStringLiteral("uptimeEdit"), tr("System uptime"));
    uLayout->addWidget(m_uptime);
    row->addWidget(uptime, 2);
    layout->addLayout(row);
    m_stationControls.push_back(set);
    return box;
}

QWidget* MainWindow::BuildAdcGroup() {
    auto* group = new QGroupBox(tr("ADC INPUTS"));
    group->setObjectName(QStringLiteral("adcGroup"));
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < kAdcCount; ++i) {
        const int n = i + 1;
        m_adcNames[i] = Label(Name("adcNameLabel", n), tr("Voltmeter %1").arg(n));
        m_adcValues[i] = ReadOnlyEdit(Name("adcValueEdit", n), tr("ADC %1 reading").arg(n));
        m_adcValues[i]->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); background: white;"));
        m_adcUnits[i] = Label(Name("adcUnitLabel", n), QStringLiteral("-"));
        m_adcUnits[i]->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
        m_adcUnits[i]->setMinimumWidth(14);
        auto* button = Button(Name("adcButton", n), QString::number(n));
        button->setToolTip(tr("ADC %1 options").arg(n));
        button->setAccessibleName(tr("ADC %1 options").arg(n));
        button->setMaximumWidth(40);
        connect(button, &QPushButton::clicked, this, [this, n] { Q_EMIT AdcRequested(n); });
        m_stationControls.push_back(button);
        // Two columns of four inputs, as on the station's front plate.
        const int row = i % 4;
        const int column = (i / 4) * 4;
        grid->addWidget(m_adcNames[i], row, column);
        grid->addWidget(m_adcValues[i], row, column + 1);
        grid->addWidget(m_adcUnits[i], row, column + 2);
        grid->addWidget(button, row, column + 3);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(5, 1);
    return group;
}

QWidget* MainWindow::BuildRelayGroup() {
    auto* group = new QGroupBox(tr("POWER RELAYS"));
    group->setObjectName(QStringLiteral("relayGroup"));
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < kRelayCount; ++i) {
        const int n = i + 1;
        m_relayStates[i] = Label(Name("relayStateLabel", n), QStringLiteral("=========="));
        // As wide as the widest text it shows, so that a note on one relay
        // does not move the buttons beside every relay.
        int width =
            m_relayStates[i]->fontMetrics().horizontalAdvance(QStringLiteral("==========="));
        for (const QString& note : RelayConfirmation::NoteTexts()) {
            width = std::max(width, m_relayStates[i]->fontMetrics().horizontalAdvance(note + u' '));
        }
        m_relayStates[i]->setMinimumWidth(width);
        auto* button = Button(Name("relayButton", n), tr("Relay &%1").arg(n));
        connect(button, &QPushButton::clicked, this, [this, n] { Q_EMIT RelayRequested(n); });
        m_stationControls.push_back(button);
        m_relayNames[i] = Label(Name("relayNameLabel", n), tr("Relay"));
        grid->addWidget(m_relayStates[i], i, 0);
        grid->addWidget(button, i, 1);
        grid->addWidget(m_relayNames[i], i, 2);
        ColourRelayState(n);
    }
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* MainWindow::BuildLowerGroups() {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* manage = new QGroupBox(tr("Manage"));
    manage->setObjectName(QStringLiteral("manageGroup"));
    auto* mLayout = new QVBoxLayout(manage);
    auto* general = Button(QStringLiteral("generalButton"), tr("&General"));
    auto* alerts = Button(QStringLiteral("alertsButton"), tr("Ale&rts"));
    auto* scripts = Button(QStringLiteral("scriptsButton"), tr("S&cripts"));
    for (QPushButton* b : {general, alerts, scripts}) {
        mLayout->addWidget(b);
    }
    connect(general, &QPushButton::clicked, this, &MainWindow::PlaceholderRequested);
    connect(alerts, &QPushButton::clicked, this, &MainWindow::AlertsRequested);
    connect(scripts, &QPushButton::clicked, this, &MainWindow::ScriptsRequested);
    m_stationControls.insert(m_stationControls.end(), {scripts, alerts, general});
    layout->addWidget(manage);

    auto* pins = new QGroupBox(tr("Alarm Pin Status"));
    pins->setObjectName(QStringLiteral("alarmPinGroup"));
    auto* pGrid = new QGridLayout(pins);
    for (int i = 0; i < 5; ++i) {
        auto* edit = ReadOnlyEdit(Name("alarmPinEdit", i + 1), tr("Alarm pin %1 status").arg(i + 1),
                                  QStringLiteral("0"));
        edit->setMaximumWidth(48);
        edit->setAlignment(Qt::AlignCenter);
        auto* button =
            PictureButton(Name("alarmPinButton", i + 1), MakePicture(Picture::AlarmPin, i),
                          tr("Alarm pin %1").arg(i + 1));
        connect(button, &QPushButton::clicked, this, &MainWindow::PlaceholderRequested);
        m_stationControls.push_back(button);
        pGrid->addWidget(edit, 0, i);
        pGrid->addWidget(button, 1, i);
    }
    layout->addWidget(pins);

    auto* rdb = new QGroupBox(tr("RDB"));
    rdb->setObjectName(QStringLiteral("rdbGroup"));
    auto* rLayout = new QVBoxLayout(rdb);
    auto* rdbButton =
        PictureButton(QStringLiteral("rdbButton"), MakePicture(Picture::Database), tr("RDB"));
    connect(rdbButton, &QPushButton::clicked, this, &MainWindow::PlaceholderRequested);
    m_stationControls.push_back(rdbButton);
    rLayout->addWidget(rdbButton);
    layout->addWidget(rdb);

    auto* counters = new QGroupBox(tr("Packet Counter"));
    counters->setObjectName(QStringLiteral("packetCounterGroup"));
    auto* cGrid = new QGridLayout(counters);
    m_sent = Label(QStringLiteral("sentCount"), QStringLiteral("0"));
    m_received = Label(QStringLiteral("receivedCount"), QStringLiteral("0"));
    m_lost = Label(QStringLiteral("lostCount"), QStringLiteral("0"));
    cGrid->addWidget(new QLabel(tr("Sent:")), 0, 0);
    cGrid->addWidget(m_sent, 0, 1);
    cGrid->addWidget(new QLabel(tr("Received:")), 1, 0);
    cGrid->addWidget(m_received, 1, 1);
    cGrid->addWidget(new QLabel(tr("Lost:")), 2, 0);
    cGrid->addWidget(m_lost, 2, 1);
    cGrid->setColumnStretch(1, 1);
    layout->addWidget(counters, 1);
    return box;
}

QWidget* MainWindow::BuildButtonRow() {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_start = Button(QStringLiteral("startButton"), tr("&START"));
    auto* stop = Button(QStringLiteral("stopButton"), tr("STO&P"));
    auto* exit = Button(QStringLiteral("exitButton"), tr("E&XIT"));
    auto* thermometer = PictureButton(QStringLiteral("temperatureButton"),
                                      MakePicture(Picture::Thermometer), tr("Temperature"));
    connect(m_start, &QPushButton::clicked, this, &MainWindow::StartRequested);
    connect(stop, &QPushButton::clicked, this, &MainWindow::StopRequested);
    connect(exit, &QPushButton::clicked, this, &MainWindow::ExitRequested);
    connect(thermometer, &QPushButton::clicked, this, &MainWindow::PlaceholderRequested);
    m_stationControls.push_back(thermometer);
    for (QPushButton* b : {m_start, stop, exit}) {
        layout->addWidget(b);
    }
    layout->addWidget(thermometer);
    auto* trend = Button(QStringLiteral("trendButton"), tr("TREND"));
    trend->setToolTip(tr("Trend plot (Ctrl+T)"));
    connect(trend, &QPushButton::clicked, this, &MainWindow::TrendRequested);
    layout->addWidget(trend);
    layout->addStretch(1);
    layout->addWidget(new QLabel(tr("Build Number:")));
    m_buildNumber = Label(QStringLiteral("buildNumberLabel"), QStringLiteral("0.0.0.0.0.0"));
    m_buildNumber->setEnabled(false);
    layout->addWidget(m_buildNumber);
    return box;
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    m_recordAction = file->addAction(tr("&Record to CSV…"));
    m_recordAction->setObjectName(QStringLiteral("recordAction"));
    m_recordAction->setCheckable(true);
    m_recordAction->setShortcut(QKeySequence(tr("Ctrl+R")));
    connect(m_recordAction, &QAction::triggered, this, [this] {
        // The check mark follows the recording, not the click.
        m_recordAction->setChecked(!m_statusRecording->text().isEmpty());
        Q_EMIT RecordRequested();
    });
    QAction* trend = file->addAction(tr("&Trend Plot…"));
    trend->setObjectName(QStringLiteral("trendAction"));
    trend->setShortcut(QKeySequence(tr("Ctrl+T")));
    connect(trend, &QAction::triggered, this, &MainWindow::TrendRequested);
    AddConfigurationActions(*this, *file);
    file->addSeparator();
    file->addAction(tr("&Import Stations…"), this, &MainWindow::ImportStationsRequested);
    file->addAction(tr("&Export Stations…"), this, &MainWindow::ExportStationsRequested);
    file->addSeparator();
    QAction* exit = file->addAction(tr("E&xit"));
    exit->setObjectName(QStringLiteral("exitAction"));
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* options = menuBar()->addMenu(tr("&Options"));
    QAction* database = options->addAction(tr("DataBase"));
    database->setObjectName(QStringLiteral("databaseAction"));
    connect(database, &QAction::triggered, this, &MainWindow::DatabaseOptionsRequested);
    QAction* fleet = options->addAction(tr("Fleet overview"));
    fleet->setObjectName(QStringLiteral("fleetAction"));
    connect(fleet, &QAction::triggered, this, &MainWindow::FleetOverviewRequested);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("&About"));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &MainWindow::AboutRequested);
}

void MainWindow::BuildStatusBar() {
    auto* area = new StatusArea;
    m_statusState = area->State();
    m_statusMessage = area->Message();
    m_statusTicker = area->Ticker();
    m_statusDirectory = area->Directory();
    m_statusRecording = area->Recording();
    m_statusHealth = area->Health();
    statusBar()->addWidget(area, 1);
    m_statusArea = area;
}

QSize MainWindow::sizeHint() const {
    return QMainWindow::sizeHint().expandedTo(QSize(m_statusArea->NeededWidthPx(), 0));
}

void MainWindow::FitStatusBar() {
    // The status bar does not pass its texts' widths on to the window: the
    // window is kept wide enough for them here (it grows, never shrinks).
    const int need = m_statusArea->NeededWidthPx();
    if (isVisible() && width() < need) {
        resize(need, height());
    }
}

void MainWindow::ShowStatusTexts(const StatusBarTexts& texts) {
    m_statusState->setText(texts.state);
    m_statusMessage->setText(texts.message);
    m_statusDirectory->setText(texts.directory);
    m_statusHealth->setText(texts.health);
    m_statusRecording->setText(texts.recording);
    m_statusRecording->setToolTip(texts.recordingPath);
    m_recordAction->setChecked(!texts.recording.isEmpty());
    FitStatusBar();
}

void MainWindow::SetReadoutsStale(bool stale, const QString& age) {
    if (stale == m_readoutsStale && (!stale || m_adcValues[0]->toolTip() == age)) {
        return;
    }
    m_readoutsStale = stale;
    QList<QLineEdit*> readouts(m_adcValues.begin(), m_adcValues.end());
    for (QLineEdit* edit : readouts << m_celsius << m_fahrenheit) {
        // Gray while stale; the readout's own colours come back with answers.
        if (!edit->property("liveStyle").isValid()) {
            edit->setProperty("liveStyle", edit->styleSheet());
        }
        edit->setStyleSheet(stale ? QStringLiteral("color: gray;")
                                  : edit->property("liveStyle").toString());
        edit->setToolTip(age);
    }
}

void MainWindow::SetRelayNote(int relay, const QString& note) {
    if (relay < 1 || relay > kRelayCount || m_relayNotes[relay - 1] == note) {
        return;
    }
    m_relayNotes[relay - 1] = note;
    ShowRelayState(relay);
}

QString MainWindow::RelayStateLabelText(int relay) const {
    return relay >= 1 && relay <= kRelayCount ? m_relayStates[relay - 1]->text() : QString();
}

void MainWindow::ShowRelayState(int relay) {
    QLabel* label = m_relayStates[relay - 1];
    const QString& note = m_relayNotes[relay - 1];
    const QString text = note.isEmpty() ? m_relayStateTexts[relay - 1] : note;
    if (label->text() == text) {
        return;
    }
    label->setText(text);
    if (note.isEmpty()) {
        ColourRelayState(relay);
    } else {
        label->setStyleSheet(QStringLiteral("color: #b35c00;"));
    }
}

void MainWindow::SetStationList(const StationList& list) {
    m_chooser->clear();
    m_chooser->addItems(list.entries);
    if (list.defaultIndex >= 0 && list.defaultIndex < list.entries.size()) {
        m_chooser->setCurrentIndex(list.defaultIndex);
    } else {
        m_chooser->setCurrentIndex(-1);
        m_chooser->setEditText(QString());
    }
}

void MainWindow::ClearStationList() {
    m_chooser->clear();
    m_chooser->setEditText(QString());
}

QString MainWindow::ChooserText() const {
    return m_chooser->currentText();
}

void MainWindow::SetChooserText(const QString& text) {
    const int index = m_chooser->findText(text);
    if (index >= 0) {
        m_chooser->setCurrentIndex(index);
    } else {
        m_chooser->setEditText(text);
    }
}

void MainWindow::ShowPanel(const StatusPanel& panel) {
    for (int i = 0; i < kAdcCount; ++i) {
        m_adcNames[i]->setText(panel.AdcName(i + 1));
        m_adcValues[i]->setText(panel.AdcValue(i + 1));
        m_adcUnits[i]->setText(panel.AdcUnit(i + 1));
    }
    for (int i = 0; i < kRelayCount; ++i) {
        m_relayNames[i]->setText(panel.RelayName(i + 1));
        m_relayStateTexts[i] = panel.RelayStateText(i + 1);
        ShowRelayState(i + 1);
    }
    m_celsius->setText(panel.TemperatureCelsius());
    m_fahrenheit->setText(panel.TemperatureFahrenheit());
    m_stationName->setText(panel.StationName());
    m_uptime->setText(panel.Uptime());
}

void MainWindow::ColourRelayState(int relay) {
    QLabel* label = m_relayStates[relay - 1];
    const std::optional<QColor> colour = RelayStateColor(label->text());
    // Any other text keeps the colour the label had.
    if (colour) {
        label->setStyleSheet(QStringLiteral("color: %1;").arg(colour->name()));
    }
}

void MainWindow::SetTickerText(const QString& text) {
    m_statusTicker->setText(text);
}

void MainWindow::SetCounters(int sent, int received, int lost) {
    m_sent->setText(QString::number(sent));
    m_received->setText(QString::number(received));
    m_lost->setText(QString::number(lost));
}

void MainWindow::SetStationControlsEnabled(bool enabled) {
    for (QWidget* control : m_stationControls) {
        control->setEnabled(enabled);
    }
}

void MainWindow::SetStartEnabled(bool enabled) {
    m_start->setEnabled(enabled);
}

void MainWindow::SetBuildNumber(const QString& text) {
    m_buildNumber->setText(text);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Q_EMIT Closing();
    event->accept();
}

}  // namespace volnar
