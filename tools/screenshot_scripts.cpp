// volnar-screenshot-scripts [--out DIR]
// Starts volnar-station on a free loopback port with a few scripts, opens the
// script list and the editor for a relay and an I/O script, and saves
// script-list.png, script-editor-relay.png and script-editor-io.png in DIR
// (default docs/screenshots). Run under a display (xvfb-run -a with
// QT_QPA_PLATFORM=xcb) for real window decorations.
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include "grid/my_ra_grid.h"
#include "link/board_link.h"
#include "scripts/script_screens.h"

namespace {

// The station's scripts for the pictures (the simulator's state file form).
constexpr char kState[] = R"({"scripts": [
  {"id": 1, "type": "relay", "name": "Pump cycle", "description": "Run the well pump for five seconds", "commands": "000C01"},
  {"id": 2, "type": "io", "name": "Night lights", "description": "Yard lights on GXIO 25 for eight seconds", "commands": "0E0Z0F"},
  {"id": 3, "type": "relay", "name": "Gate opener", "description": "Pulse relay 2, then the RDB1 output", "commands": "020A031C0D1D"},
  {"id": 12, "type": "relay", "name": "Heater backup", "description": "Switch to the backup heater for an hour", "commands": "06070S0405"},
  {"id": 14, "type": "io", "name": "Siren test", "description": "Monthly siren test on GXIO 3", "commands": "040U05"},
  {"id": 10457, "type": "relay", "name": "All off", "description": "Every relay of the station and of RDB1 off", "commands": "01030507131517191B"}
]})";

class PrintedMessages final : public volnar::MessageService {
public:
    bool Show(volnar::MessageIcon, const QString& text, volnar::MessageButtons,
              const QString&) override {
        QTextStream(stderr) << "volnar-screenshot-scripts: " << text << "\n";
        return false;
    }
};

bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

void Pause(int milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

bool Save(QWidget* window, const QDir& folder, const char* name) {
    Pause(400);
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!window->grab().save(path)) {
        QTextStream(stderr) << "volnar-screenshot-scripts: cannot write " << path << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("folder"),
                                 QStringLiteral("DIR"), QStringLiteral("docs/screenshots"));
    parser.addOption(out);
    parser.process(app);
    const QDir folder(parser.value(out));
    QTextStream err(stderr);

    QTemporaryDir work;
    QFile state(work.filePath(QStringLiteral("station.json")));
    if (!work.isValid() || !state.open(QIODevice::WriteOnly) || state.write(kState) < 0) {
        err << "volnar-screenshot-scripts: cannot write the station state\n";
        return 1;
    }
    state.close();
    QProcess station;
    station.start(QStringLiteral(VOLNAR_SIM_BINARY),
                  {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                   QStringLiteral("--state"), state.fileName()});
    quint16 port = 0;
    QByteArray output;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    WaitFor([&] {
        output += station.readAllStandardOutput();
        const auto match = listening.match(QString::fromLatin1(output));
        port = match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
        return port != 0 || station.state() == QProcess::NotRunning;
    });
    if (port == 0) {
        err << "volnar-screenshot-scripts: the simulator did not start: "
            << station.readAllStandardError() << "\n";
        return 1;
    }

    PrintedMessages messages;
    const volnar::StationRecord record{QStringLiteral("127.0.0.1"), QStringLiteral("public"),
                                       QStringLiteral("demo"),      QStringLiteral("YES"),
                                       QString::number(port),       QStringLiteral("10"),
                                       QStringLiteral("2")};
    volnar::BoardLink link(
        messages,
        [&record](const QString& address) -> std::optional<volnar::StationRecord> {
            return address == record.IPADDRESS ? std::optional(record) : std::nullopt;
        },
        [] { return QStringLiteral("127.0.0.1"); });
    if (!link.StartSnmpSession()) {
        return 1;
    }
    volnar::scripts::ScriptScreens screens(link, messages, nullptr);

    screens.OpenList();
    volnar::TableListDialog* list = screens.List();
    if (list == nullptr || !WaitFor([&] { return !list->IsWalking(); })) {
        err << "volnar-screenshot-scripts: the list was not read\n";
        return 1;
    }
    list->Grid().SetCurrentCell(volnar::scripts::kNameColumn, 2);
    list->Grid().Body()->setFocus();
    if (!Save(list, folder, "script-list.png")) {
        return 1;
    }

    // Edit the relay script in row 2, then (after Cancel) the I/O script in row 1.
    list->Grid().BeginEdit(volnar::scripts::kEditColumn, 2);
    volnar::scripts::ScriptEditorDialog* editor = screens.Editor();
    if (editor == nullptr) {
        err << "volnar-screenshot-scripts: no relay editor\n";
        return 1;
    }
    editor->findChild<QListWidget*>(QStringLiteral("availableList"))->setCurrentRow(12);
    editor->findChild<QListWidget*>(QStringLiteral("selectedList"))->setCurrentRow(1);
    if (!Save(editor, folder, "script-editor-relay.png")) {
        return 1;
    }
    editor->reject();
    list = screens.List();
    if (list == nullptr || !WaitFor([&] { return !list->IsWalking(); })) {
        return 1;
    }
    list->Grid().BeginEdit(volnar::scripts::kEditColumn, 1);
    editor = screens.Editor();
    if (editor == nullptr) {
        err << "volnar-screenshot-scripts: no I/O editor\n";
        return 1;
    }
    editor->findChild<QListWidget*>(QStringLiteral("availableList"))->setCurrentRow(14);
    if (!Save(editor, folder, "script-editor-io.png")) {
        return 1;
    }
    editor->accept();
    station.terminate();
    station.waitForFinished(5000);
    return 0;
}
