// volnar-screenshot --database DB --out DIR [--suffix S] [--no-about]
// Runs the client against the demo station on 127.0.0.1, waits until it has
// polled a few status records, and saves pictures of the main window and the
// About box. Used by `make screenshot` under Xvfb.
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QTextStream>
#include <QTimer>
#include <functional>

#include "alerts/alert_screens.h"
#include "app/about_box.h"
#include "app/application.h"
#include "app/database_location.h"
#include "lists/table_list_dialog.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_record.h"

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

}  // namespace

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
    parser.addOptions({database, out, suffix, noAbout});
    parser.process(app);
    QTextStream err(stderr);

    PrintingMessageService messages;
    volnar::Application program({parser.value(database), QStringLiteral("127.0.0.1"), 0},
                                &messages);
    program.Window().resize(program.Window().sizeHint());
    program.Show();
    if (!WaitFor([&] { return program.Link().ReceivedCount() >= 4; }, 20000)) {
        err << "volnar-screenshot: the demo station did not answer\n";
        return 1;
    }
    Pause(300);
    const QDir folder(parser.value(out));
    const QString name = QStringLiteral("main-window%1.png").arg(parser.value(suffix));
    if (!program.Window().grab().save(folder.filePath(name))) {
        err << "volnar-screenshot: cannot write " << folder.filePath(name) << "\n";
        return 1;
    }
    // The script list, then the editor for a relay script (row 0) and for
    // an I/O script (row 1), each opened from the list as the operator would.
    if (!parser.isSet(noAbout)) {
        volnar::scripts::ScriptScreens& screens = program.Scripts();
        screens.OpenList();
        Pause(1500);
        const std::pair<int, const char*> editors[] = {{0, "script-editor-relay.png"},
                                                       {1, "script-editor-io.png"}};
        if (screens.List() == nullptr ||
            !screens.List()->grab().save(folder.filePath(QStringLiteral("script-list.png")))) {
            err << "volnar-screenshot: no script list picture\n";
            return 1;
        }
        for (const auto& [row, file] : editors) {
            if (screens.List() == nullptr) {
                err << "volnar-screenshot: no script list for " << file << "\n";
                return 1;
            }
            screens.List()->Grid().BeginEdit(volnar::scripts::kEditColumn, row);
            Pause(300);
            if (screens.Editor() == nullptr ||
                !screens.Editor()->grab().save(folder.filePath(QString::fromLatin1(file)))) {
                err << "volnar-screenshot: no picture for " << file << "\n";
                return 1;
            }
            screens.Editor()->reject();  // back to a fresh list
            Pause(1500);
        }
        if (screens.List() != nullptr) {
            screens.List()->close();
        }
        Pause(100);
    }

    // The main window's dialogs, each as the operator first sees it.
    if (!parser.isSet(noAbout)) {
        QDialog* opened = nullptr;
        QObject::connect(&program, &volnar::Application::DialogOpened, &program,
                         [&opened](QDialog* dialog) { opened = dialog; });
        QObject::connect(&program.Alerts(), &volnar::AlertScreens::ListOpened, &program,
                         [&opened](QDialog* dialog) { opened = dialog; });
        QObject::connect(&program.Alerts(), &volnar::AlertScreens::EditorOpened, &program,
                         [&opened](QDialog* dialog) { opened = dialog; });
        // The station dialogs stop polling: they come last.
        const std::pair<const char*, std::function<void()>> dialogs[] = {
            {"relay-dialog.png", [&] { program.OpenRelayDialog(1); }},
            {"station-name-dialog.png", [&] { program.OpenStationNameDialog(); }},
            {"adc-options.png", [&] { program.OpenAdcDialog(3); }},
            {"adc-options-ammeter.png", [&] { program.OpenAdcDialog(6); }},
            {"alert-list.png", [&] { program.Alerts().OpenList(); }},
            {"email-alert-editor.png",
             [&] { program.Alerts().OpenEmailEditor(volnar::AlertEditorMode::New, {}); }},
            {"sms-alert-editor.png",
             [&] { program.Alerts().OpenSmsEditor(volnar::AlertEditorMode::New, {}); }},
            {"add-ip-dialog.png",
             [&] { program.OpenStationDialog(volnar::StationDialogMode::Add); }},
            {"delete-ip-dialog.png", [&] { program.OpenDeleteStationDialog(); }},
        };
        for (const auto& [file, open] : dialogs) {
            opened = nullptr;
            open();
            // Long enough for the dialog's walks and reads on loopback.
            Pause(1500);
            if (opened == nullptr ||
                !opened->grab().save(folder.filePath(QString::fromLatin1(file)))) {
                err << "volnar-screenshot: no picture for " << file << "\n";
                return 1;
            }
            opened->close();
            Pause(100);
        }
    }
    if (!parser.isSet(noAbout)) {
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
        if (about == nullptr ||
            !about->grab().save(folder.filePath(QStringLiteral("about-box.png")))) {
            err << "volnar-screenshot: no About box picture\n";
            return 1;
        }
        about->close();
    }
    program.Window().close();
    return 0;
}
