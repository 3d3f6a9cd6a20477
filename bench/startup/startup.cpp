// volnar-bench-startup: wall time from process start to the first shown main
// window, for the client (start-up steps, directory, chooser) and for a
// minimal Qt Widgets window in the same binary, as medians over several runs.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "app/application.h"
#include "app/database_location.h"

namespace {

constexpr int kRuns = 9;

int RunChild(int argc, char** argv, bool client) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(volnar::kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(volnar::kSettingsApplication));
    std::unique_ptr<volnar::Application> program;
    std::unique_ptr<QWidget> minimal;
    if (client) {
        program = std::make_unique<volnar::Application>(
            volnar::StartupOptions{QString::fromLocal8Bit(argv[2]), {}, 0, {}});
        program->Show();
    } else {
        minimal = std::make_unique<QWidget>();
        minimal->resize(400, 300);
        minimal->show();
    }
    // The first pass of the event loop paints the shown window.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}

double MedianMs(const QString& self, const QStringList& arguments) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        QProcess child;
        timer.start();
        child.start(self, arguments);
        child.waitForFinished(60000);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && qstrcmp(argv[1], "--child-minimal") == 0) {
        return RunChild(argc, argv, false);
    }
    if (argc >= 3 && qstrcmp(argv[1], "--child-client") == 0) {
        return RunChild(argc, argv, true);
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    // Settings and data of the runs stay in the temporary folder.
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toLocal8Bit());
    const QString database = folder.filePath(QStringLiteral("stations.db"));
    const QString self = QCoreApplication::applicationFilePath();
    // One run writes the template, so every measured run opens an existing file.
    MedianMs(self, {QStringLiteral("--child-client"), database});
    const double client = MedianMs(self, {QStringLiteral("--child-client"), database});
    const double minimal = MedianMs(self, {QStringLiteral("--child-minimal")});
    QTextStream out(stdout);
    out << "platform=" << qgetenv("QT_QPA_PLATFORM") << "\n";
    out << "client_startup_ms=" << QString::number(client, 'f', 1) << "\n";
    out << "minimal_qt_window_ms=" << QString::number(minimal, 'f', 1) << "\n";
    out << "startup_ratio=" << QString::number(client / minimal, 'f', 2) << "\n";
    return 0;
}
