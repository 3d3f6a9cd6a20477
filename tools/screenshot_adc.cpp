// volnar-screenshot-adc --out DIR [--station PATH]
// Starts volnar-station on a free 127.0.0.1 port with three alerts and three
// scripts, gives channels 3 and 6 a few trigger actions, opens the ADC
// options dialog for channel 3 (a voltmeter) and channel 6 (an ammeter) once
// the data load has filled it, and saves adc-options.png and
// adc-options-ammeter.png. Run under Xvfb (QT_QPA_PLATFORM=xcb).
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

#include "adc/adc_options_dialog.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "panel/message_service.h"
#include "panel/status_panel.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

// Writes every box to stderr instead of showing it.
class PrintedMessages final : public volnar::MessageService {
public:
    bool Show(volnar::MessageIcon, const QString& text, volnar::MessageButtons,
              const QString&) override {
        QTextStream(stderr) << "volnar-screenshot-adc: box: " << text << "\n";
        ++shown;
        return false;
    }
    int shown = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("folder"),
                                 QStringLiteral("DIR"), QStringLiteral("."));
    // Beside the build's tools folder by default: <build>/sim/volnar-station.
    const QCommandLineOption station(
        QStringLiteral("station"), QStringLiteral("volnar-station"), QStringLiteral("PATH"),
        QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/volnar-station"));
    parser.addOptions({out, station});
    parser.process(app);
    QTextStream err(stderr);

    // The simulator, on loopback only.
    QProcess sim;
    sim.setProgram(parser.value(station));
    sim.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                      QStringLiteral("--alerts"), QStringLiteral("3"), QStringLiteral("--scripts"),
                      QStringLiteral("3"), QStringLiteral("--seed"), QStringLiteral("5")});
    sim.start();
    quint16 port = 0;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    WaitFor(
        [&] {
            const auto match = listening.match(QString::fromLatin1(sim.readAllStandardOutput()));
            if (match.hasMatch()) {
                port = static_cast<quint16>(match.captured(1).toUInt());
            }
            return port != 0 || sim.state() == QProcess::NotRunning;
        },
        10000);
    if (port == 0) {
        err << "volnar-screenshot-adc: volnar-station did not start\n";
        return 1;
    }
    const volnar::StationRecord record{QStringLiteral("127.0.0.1"), QStringLiteral("public"),
                                       QStringLiteral("simulator"), QStringLiteral("YES"),
                                       QString::number(port),       QStringLiteral("10"),
                                       QStringLiteral("2")};

    PrintedMessages messages;
    volnar::StatusPanel panel;
    volnar::BoardLink link(
        messages,
        [&record](const QString& address) -> std::optional<volnar::StationRecord> {
            if (address == record.IPADDRESS) {
                return record;
            }
            return std::nullopt;
        },
        [] { return QStringLiteral("127.0.0.1"); });
    QObject::connect(&link, &volnar::BoardLink::StatusRecordReceived, &panel,
                     [&panel](const QByteArray& status) {
                         panel.ShowStatusRecord(std::string_view(
                             status.constData(), static_cast<std::size_t>(status.size())));
                     });
    int updates = 0;
    QObject::connect(&link, &volnar::BoardLink::NoticeRequested, &panel,
                     [&updates](int, volnar::NoticeFollowUp) { ++updates; });
    link.Start();
    if (!WaitFor([&] { return link.ReceivedCount() >= 2; }, 20000)) {
        err << "volnar-screenshot-adc: the station did not answer\n";
        return 1;
    }
    // A few actions so that the lists show something.
    link.SendBoardRequest(volnar::board::kChannelSettings[3], volnar::PduType::Set,
                          volnar::RequestValue::Text(
                              "3|2.2000|1.2000|1|1|1.3.|2.||1.|||2.3.||30|300|1.0000|3|v|0|0|"),
                          volnar::routing::ChannelSettingsId(3));
    link.SendBoardRequest(
        volnar::board::kChannelSettings[6], volnar::PduType::Set,
        volnar::RequestValue::Text("6|40.000|5.0000|1|0|3.|||1.|2.||||3600|0|1.0000|2|a|50|50|"),
        volnar::routing::ChannelSettingsId(6));
    link.SendBoardRequest(volnar::board::kChannelNotes[3], volnar::PduType::Set,
                          volnar::RequestValue::Text("Well pump supply.\nChecked monthly."),
                          volnar::routing::ChannelNotesId(3));
    if (!WaitFor([&] { return updates >= 3; }, 20000) ||
        !WaitFor([&] { return panel.AdcUnit(6) == QStringLiteral("a"); }, 20000)) {
        err << "volnar-screenshot-adc: the station did not take the settings\n";
        return 1;
    }

    const QDir folder(parser.value(out));
    const std::pair<int, const char*> shots[] = {{3, "adc-options.png"},
                                                 {6, "adc-options-ammeter.png"}};
    for (const auto& [channel, name] : shots) {
        auto* dialog = new volnar::AdcOptionsDialog(channel, link, panel, messages);
        dialog->open();
        if (!WaitFor([dialog] { return !dialog->IsLoading(); }, 20000)) {
            err << "volnar-screenshot-adc: the data load did not finish\n";
            return 1;
        }
        // Select a pool entry, as an operator about to press Add would.
        if (auto* pool = dialog->findChild<QListWidget*>(QStringLiteral("lowAlertPool"))) {
            pool->setCurrentRow(1);
        }
        WaitFor([] { return false; }, 1300);  // the "as of" clock ticks once
        dialog->Tick();
        if (!dialog->grab().save(folder.filePath(QString::fromLatin1(name)))) {
            err << "volnar-screenshot-adc: cannot write "
                << folder.filePath(QString::fromLatin1(name)) << "\n";
            return 1;
        }
        dialog->close();
        QCoreApplication::processEvents();
    }
    link.StopPolling();
    sim.terminate();
    sim.waitForFinished(5000);
    return messages.shown == 0 ? 0 : 1;
}
