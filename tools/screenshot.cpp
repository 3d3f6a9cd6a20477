// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-screenshot --database DB --out DIR [--suffix S] [--no-about] [--simulator-pid PID]
// Runs the client against the demo station on 127.0.0.1, waits until it has
// polled a few status records, and saves pictures of the main window and the
// About box. Used by `make screenshot` under Xvfb.
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <functional>

#include <signal.h>

#include "alerts/alert_screens.h"
#include "app/about_box.h"
#include "app/application.h"
#include "app/database_location.h"
#include "history_view/trend_window.h"
#include "lists/table_list_dialog.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_record.h"

#include <cmath>

namespace {

// Message boxes would wait for a click nobody gives: print them instead and
// answer No.
class PrintingMessageService final : public volnar::MessageService {
public:
    bool Show(volnar::MessageIcon, const QString& text, volnar::MessageButtons,
              const QString& caption) override {
        QTextStream(stderr) << "volnar-screenshot: box \"" << caption << "\": " << text << "\n";
        return false;
    }
};

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

void Pause(int milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

// Second `t` of a simulated station's day: a battery bank on a daily charge
// cycle, two loads and the temperature.
volnar::HistorySample DaySample(std::int64_t t) {
    const double day = 2 * M_PI * static_cast<double>(t) / 86400.0;
    const double noise =
        std::sin(static_cast<double>(t) / 47.0) * std::sin(static_cast<double>(t) / 13.0);
    volnar::HistorySample s;
    s.readings[0] = static_cast<float>(52.0 + 2.5 * std::sin(day) + 0.15 * noise);
    s.readings[1] = static_cast<float>(26.0 + 1.2 * std::sin(day) + 0.1 * noise);
    s.readings[5] = static_cast<float>(18.0 + 6.0 * std::max(0.0, std::sin(day * 3)) + 0.3 * noise);
    s.readings[6] = static_cast<float>(7.5 + 0.8 * std::cos(day * 5) + 0.5 * noise);
    s.celsius = static_cast<float>(21.0 + 4.0 * std::sin(day - 1.0) + 0.05 * noise);
    s.fahrenheit = s.celsius * 9.0F / 5.0F + 32.0F;
    return s;
}

void NameChannels(volnar::SampleHistory& history) {
    const char* names[] = {"Battery", "Half bank", "Input 3", "Input 4",
                           "Input 5", "Rectifier", "Radio",   "Input 8"};
    for (std::size_t n = 0; n < 8; ++n) {
        history.names[n] = QString::fromLatin1(names[n]);
        history.units[n] = n == 5 || n == 6 ? QStringLiteral("A") : QStringLiteral("V");
    }
    history.station = QStringLiteral("127.0.0.1");
}

// 24 hours of the simulated station, one sample a second (steady time from
// 0), with ten minutes without answers in the afternoon.
void FillDay(volnar::SampleHistory& history, std::int64_t endMs) {
    const std::int64_t startMs = endMs - 24LL * 3600 * 1000;
    for (std::int64_t t = 0; t < 24LL * 3600; ++t) {
        const volnar::ClockReading at{t * 1000, startMs + t * 1000};
        if (t >= 15 * 3600 && t < 15 * 3600 + 600) {
            history.AppendGap(at, volnar::Gap::Lost);
            continue;
        }
        volnar::HistorySample s = DaySample(t);
        s.steadyMs = at.steadyMs;
        s.wallMs = at.wallMs;
        history.Append(s);
    }
    NameChannels(history);
}

// The last 70 minutes of a wall display's day: 12 minutes into the hour shown
// the station stops answering, polling stops after 30 time-outs and restarts
// by itself until the station answers again 12 minutes later; 15 minutes
// before the end the client's clock is set back by 90 s.
void FillOutage(volnar::SampleHistory& history, std::int64_t endMs) {
    constexpr std::int64_t kSeconds = 70 * 60;
    constexpr std::int64_t kLost = 22 * 60;
    constexpr std::int64_t kBack = 34 * 60;
    constexpr std::int64_t kStep = kSeconds - 15 * 60;
    constexpr std::int64_t kShiftMs = -90'000;
    const std::int64_t startMs = endMs - kSeconds * 1000 - kShiftMs;
    for (std::int64_t t = 0; t < kSeconds; ++t) {
        const volnar::ClockReading at{t * 1000, startMs + t * 1000 + (t >= kStep ? kShiftMs : 0)};
        if (t >= kLost && t < kBack) {
            history.AppendGap(at, t < kLost + 30 ? volnar::Gap::Lost : volnar::Gap::NotPolled);
            continue;
        }
        volnar::HistorySample s = DaySample(t + 9 * 3600);
        s.steadyMs = at.steadyMs;
        s.wallMs = at.wallMs;
        history.Append(s);
    }
    NameChannels(history);
}

// An alert editor as the operator opens it: the list's Add button.
void AddFromAlertList(volnar::Application& program, const char* button) {
    program.Alerts().OpenList();
    if (volnar::TableListDialog* list = program.Alerts().List()) {
        if (auto* add = list->findChild<QPushButton*>(QString::fromLatin1(button))) {
            add->click();
        }
    }
}

// Saves `widget`'s picture as `file` in the output folder, or says why not.
bool Save(QWidget* widget, const QDir& folder, const QString& file) {
    if (widget != nullptr && widget->grab().save(folder.filePath(file))) {
        return true;
    }
    QTextStream(stderr) << "volnar-screenshot: no picture for " << file << "\n";
    return false;
}

// The trend plot over a simulated day, whole and zoomed to three hours, and
// the last hour of a day with an outage and a clock setting.
bool SaveTrendPlots(const QDir& folder) {
    volnar::SampleHistory day;
    volnar::SampleHistory outage;
    const std::int64_t endMs = QDateTime::currentMSecsSinceEpoch();
    FillDay(day, endMs);
    FillOutage(outage, endMs);
    volnar::TrendWindow trend(day);
    trend.resize(1100, 620);
    for (int s : {1, 5, volnar::kTrendCelsius}) {
        trend.SetSeriesShown(s, true);
    }
    trend.show();
    trend.SetRange(24 * 3600);
    Pause(300);
    const std::int64_t zoomTo = 16LL * 3600 * 1000;  // 8 h before the end, in steady time
    const std::pair<const char*, std::function<void()>> views[] = {
        {"trend-plot-24h.png", [] {}},
        {"trend-plot-zoomed.png", [&] { trend.SetView(zoomTo - 3LL * 3600 * 1000, zoomTo); }},
        {"trend-plot-outage.png",
         [&] {
             trend.ShowHistory(outage);
             trend.SetRange(3600);
         }},
    };
    for (const auto& [file, view] : views) {
        view();
        Pause(200);
        if (!Save(&trend, folder, QString::fromLatin1(file))) {
            return false;
        }
    }
    trend.close();
    return true;
}

// The last hour of the wall display's day read as monitoring charts are:
// the crosshair on a sample, the legend, the battery's and the rectifier's
// trigger levels, the outage shaded and the clock setting marked.
bool SaveTrendMarks(const QDir& folder, const QString& suffix) {
    volnar::SampleHistory outage;
    FillOutage(outage, QDateTime::currentMSecsSinceEpoch());
    outage.triggers[0] = {.high = 54.5, .low = 50.0};
    outage.triggers[5] = {.high = 23.0, .low = std::nullopt};
    volnar::TrendWindow trend(outage);
    trend.resize(1100, 620);
    for (int s : {5, volnar::kTrendCelsius}) {
        trend.SetSeriesShown(s, true);
    }
    trend.show();
    trend.SetRange(3600);
    trend.SetCrosshair(outage.Latest()->steadyMs - 25LL * 60 * 1000);
    Pause(300);
    const bool saved = Save(&trend, folder, QStringLiteral("trend-plot-marks%1.png").arg(suffix));
    trend.close();
    return saved;
}

// Stale readouts: the demo station paused (SIGSTOP) for a few seconds, then
// going on.
bool SaveStaleReadouts(volnar::Application& program, const QDir& folder, pid_t simulator) {
    if (simulator <= 0 || ::kill(simulator, SIGSTOP) != 0) {
        return true;
    }
    const bool stale = WaitFor([&] { return program.Window().ReadoutsStale(); }, 8000);
    Pause(1500);
    const bool saved =
        stale && Save(&program.Window(), folder, QStringLiteral("stale-readouts.png"));
    ::kill(simulator, SIGCONT);
    if (saved) {
        WaitFor([&] { return !program.Window().ReadoutsStale(); }, 10000);
        Pause(1500);
    }
    return saved;
}

// Until the script list has read the whole table (a slow link takes a
// while), then a moment for it to paint.
void WaitForWholeList(volnar::ListNavigator& screens) {
    WaitFor([&] { return screens.List() != nullptr && !screens.List()->IsWalking(); }, 60000);
    Pause(300);
}

// The script list, then the editor for a relay script (row 0) and for an I/O
// script (row 1), each opened from the list as the operator would.
bool SaveScriptScreens(volnar::Application& program, const QDir& folder) {
    volnar::ListNavigator& screens = program.Scripts();
    screens.OpenList();
    WaitForWholeList(screens);
    if (!Save(screens.List(), folder, QStringLiteral("script-list.png"))) {
        return false;
    }
    const std::pair<int, const char*> editors[] = {{0, "script-editor-relay.png"},
                                                   {1, "script-editor-io.png"}};
    for (const auto& [row, file] : editors) {
        if (screens.List() == nullptr) {
            return Save(nullptr, folder, QString::fromLatin1(file));
        }
        screens.List()->ActivateImage(row, volnar::kEditImage);
        Pause(300);
        if (!Save(screens.Editor(), folder, QString::fromLatin1(file))) {
            return false;
        }
        screens.Editor()->reject();  // back to a fresh list
        WaitForWholeList(screens);
    }
    if (screens.List() != nullptr) {
        screens.List()->close();
    }
    Pause(100);
    return true;
}

// The main window's dialogs, each as the operator first sees it.
// The older system's station table as mdb-export writes it, with a station
// the demo directory already holds, one listed twice and two typing errors.
QString ImportSample() {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("VOLN-main.csv"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(
            "IPADDRESS,PASSWORD,COMMENT,DEFAULT,PORT,TIMEOUT,RETRIES\n"
            "\"10.10.10.10\",\"none\",\"Default IP\",\"YES\",\"161\",,\"0\"\n"
            "\"127.0.0.1\",\"public\",\"Demo station\",\"NO\",\"16161\",\"2\",\"1\"\n"
            "\"127.0.1.10\",\"public\",\"Pumpwerk S\xc3\xbc"
            "d\",\"NO\",\"161\",\"5\",\"2\"\n"
            "\"127.0.1.11\",\"public\",\"Kl\xc3\xa4ranlage \"\"Nord\"\"\",\"NO\",\"161\",\"5\","
            "\"2\"\n"
            "\"127.0.1.12\",\"public\",\"Hochbeh\xc3\xa4lter 2\",\"NO\",\"161\",\"5\",\"2\"\n"
            "\"127.0.1.11\",\"public\",\"Kl\xc3\xa4ranlage (old)\",\"NO\",\"161\",\"5\",\"2\"\n"
            "\"127.0.1.256\",\"public\",\"Reservoir\",\"NO\",\"161\",\"5\",\"2\"\n"
            "\"127.0.1.14\",\"public\",\"Brunnen 4\",\"NO\",\"1610000\",\"5\",\"2\"\n"
            "\"127.0.1.15\",\"public\",\"Schacht \xe2\x82\xac 5\",\"NO\",\"161\",\"5\",\"2\"\n");
    }
    return path;
}

bool SaveDialogs(volnar::Application& program, const QDir& folder) {
    QDialog* opened = nullptr;
    const auto remember = [&opened](QDialog* dialog) { opened = dialog; };
    QObject::connect(&program, &volnar::Application::DialogOpened, &program, remember);
    QObject::connect(&program.Alerts(), &volnar::ListNavigator::ListOpened, &program, remember);
    QObject::connect(&program.Alerts(), &volnar::ListNavigator::EditorOpened, &program, remember);
    // The station dialogs stop polling: they come last.
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"relay-dialog.png", [&] { program.OpenRelayDialog(1); }},
        {"station-name-dialog.png", [&] { program.OpenStationNameDialog(); }},
        {"adc-options.png", [&] { program.OpenAdcDialog(3); }},
        {"adc-options-ammeter.png", [&] { program.OpenAdcDialog(6); }},
        {"alert-list.png", [&] { program.Alerts().OpenList(); }},
        {"email-alert-editor.png", [&] { AddFromAlertList(program, "addEmailAlertButton"); }},
        {"sms-alert-editor.png", [&] { AddFromAlertList(program, "addSmsAlertButton"); }},
        {"import-stations-dialog.png", [&] { program.Transfer().Import(ImportSample()); }},
        {"add-ip-dialog.png", [&] { program.OpenStationDialog(volnar::StationDialogMode::Add); }},
        {"delete-ip-dialog.png", [&] { program.OpenDeleteStationDialog(); }},
    };
    for (const auto& [file, open] : dialogs) {
        opened = nullptr;
        open();
        // Long enough for the dialog's walks and reads on loopback.
        Pause(1500);
        if (!Save(opened, folder, QString::fromLatin1(file))) {
            return false;
        }
        opened->close();
        Pause(100);
    }
    return true;
}

bool SaveAboutBox(volnar::Application& program, const QDir& folder) {
    QDialog* about = nullptr;
    QObject::connect(&program, &volnar::Application::AboutBoxOpened, &program,
                     [&about](QDialog* box) { about = box; });
    program.Window().findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
    // Type most of the text at once rather than waiting half a minute.
    if (auto* box = qobject_cast<volnar::AboutBox*>(about)) {
        for (int tick = 0; tick < 300; ++tick) {
            box->Tick();
        }
    }
    Pause(300);
    if (!Save(about, folder, QStringLiteral("about-box.png"))) {
        return false;
    }
    about->close();
    return true;
}

}  // namespace

// The status bar with the longest texts it shows at once: every one whole.
bool SaveStatusBar(volnar::Application& program, const QDir& folder, const QString& suffix) {
    program.Link().StopPolling();
    Pause(200);
    volnar::MainWindow& window = program.Window();
    window.SetTickerText(QStringLiteral("Every volt, from anywhere"));
    window.ShowStatusTexts({
        .state = QStringLiteral(" No answer for 120 s"),
        .message = QStringLiteral(" MSG: No answer, restarting in 300 s"),
        .directory = QString::fromLatin1(volnar::kDirectoryNotAnswering),
        .health = QStringLiteral("Last answer 120 s ago, round trip 1500 ms"),
        .recording = QStringLiteral(
            "REC \u25CF station-2.csv (not recording: No space left on device; retrying)"),
        .recordingPath = QString(),
    });
    QCoreApplication::processEvents();
    return Save(window.statusBar(), folder, QStringLiteral("status-bar%1.png").arg(suffix));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(volnar::kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(volnar::kSettingsApplication));
    QCommandLineParser parser;
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("directory"),
                                      QStringLiteral("LOCATION"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("folder"),
                                 QStringLiteral("DIR"));
    const QCommandLineOption suffix(QStringLiteral("suffix"), QStringLiteral("name suffix"),
                                    QStringLiteral("S"));
    const QCommandLineOption noAbout(QStringLiteral("no-about"), QStringLiteral("skip About"));
    const QCommandLineOption simulatorPid(QStringLiteral("simulator-pid"),
                                          QStringLiteral("the demo station, paused for a moment"),
                                          QStringLiteral("PID"));
    parser.addOptions({database, out, suffix, noAbout, simulatorPid});
    parser.process(app);

    PrintingMessageService messages;
    volnar::Application program({parser.value(database), QStringLiteral("127.0.0.1"), 0, {}},
                                &messages);
    program.Window().resize(program.Window().sizeHint());
    program.Show();
    if (!WaitFor([&] { return program.Link().ReceivedCount() >= 4; }, 20000)) {
        QTextStream(stderr) << "volnar-screenshot: the demo station did not answer\n";
        return 1;
    }
    Pause(300);
    const QDir folder(parser.value(out));
    bool saved = Save(&program.Window(), folder,
                      QStringLiteral("main-window%1.png").arg(parser.value(suffix)));
    if (saved && !parser.isSet(noAbout)) {
        const auto simulator = static_cast<pid_t>(parser.value(simulatorPid).toInt());
        saved = SaveTrendPlots(folder) && SaveStaleReadouts(program, folder, simulator) &&
                SaveScriptScreens(program, folder) && SaveDialogs(program, folder) &&
                SaveAboutBox(program, folder);
    }
    saved = saved && SaveStatusBar(program, folder, parser.value(suffix)) &&
            SaveTrendMarks(folder, parser.value(suffix));
    program.Window().close();
    return saved ? 0 : 1;
}
