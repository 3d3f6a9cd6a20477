// volnar-bench-startup: wall time from process start to the first shown main
// window, for the client (start-up steps, directory, chooser) and for a
// minimal Qt Widgets window in the same binary. The two run alternately, one
// of each per round, for VOLNAR_BENCH_ROUNDS rounds (at least 7); the figures
// are medians, with the spread of the per-round ratio. Prints only name=value
// lines.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "app/application.h"
#include "app/database_location.h"
#include "bench_support.h"

namespace {

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

double RunMs(const QString& self, const QStringList& arguments) {
    QElapsedTimer timer;
    QProcess child;
    timer.start();
    child.start(self, arguments);
    child.waitForFinished(60000);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
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
    const QStringList client{QStringLiteral("--child-client"), database};
    const QStringList minimal{QStringLiteral("--child-minimal")};
    RunMs(self, client);
    const int rounds = volnar::bench::RoundsFromEnvironment("VOLNAR_BENCH_ROUNDS");
    std::vector<double> clientMs;
    std::vector<double> minimalMs;
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        clientMs.push_back(RunMs(self, client));
        minimalMs.push_back(RunMs(self, minimal));
        ratios.push_back(clientMs.back() / minimalMs.back());
    }
    std::printf("platform=%s\n", qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("rounds=%d\n", rounds);
    volnar::bench::PrintSpread("client_startup_ms", volnar::bench::SpreadOf(clientMs), 1);
    volnar::bench::PrintSpread("minimal_qt_window_ms", volnar::bench::SpreadOf(minimalMs), 1);
    volnar::bench::PrintSpread("startup_ratio", volnar::bench::SpreadOf(ratios), 2);
    return 0;
}
