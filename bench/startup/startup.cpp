// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-bench-startup: wall time from process start to the first shown main
// window, for the client (start-up steps, directory, chooser) and for a
// minimal Qt Widgets window in the same binary. The child says when its
// first event loop pass (which paints the shown window) is over; its
// teardown after that is not start-up and is not counted. A third window,
// a label and an SVG window icon, shows what any window with text and
// pictures pays before its first paint (the font set up, the SVG icon
// engine loaded), which a bare window does not. The two run alternately, one
// of each per round, for VOLNAR_BENCH_ROUNDS rounds (at least 7); the figures
// are medians, with the spread of the per-round ratio. Prints only name=value
// lines.
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/application.h"
#include "app/database_location.h"
#include "bench_support.h"

namespace {

enum class Child { Client, Minimal, Text };

int RunChild(int argc, char** argv, Child kind) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(volnar::kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(volnar::kSettingsApplication));
    std::unique_ptr<volnar::Application> program;
    std::unique_ptr<QWidget> minimal;
    if (kind == Child::Client) {
        program = std::make_unique<volnar::Application>(
            volnar::StartupOptions{QString::fromLocal8Bit(argv[2]), {}, 0, {}});
        program->Show();
    } else {
        minimal = std::make_unique<QWidget>();
        minimal->resize(400, 300);
        if (kind == Child::Text) {
            (new QLabel(QStringLiteral("Volnar station client"), minimal.get()))->move(10, 10);
            minimal->setWindowIcon(QIcon(QStringLiteral(":/icons/volnar.svg")));
        }
        minimal->show();
    }
    // The first pass of the event loop paints the shown window.
    QTimer::singleShot(0, &app, [] {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

double RunMs(const QString& self, const QStringList& arguments) {
    QElapsedTimer timer;
    QProcess child;
    timer.start();
    child.start(self, arguments);
    QByteArray said;
    while (!said.contains("shown\n") && child.waitForReadyRead(60000)) {
        said += child.readAllStandardOutput();
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    child.waitForFinished(60000);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && qstrcmp(argv[1], "--child-minimal") == 0) {
        return RunChild(argc, argv, Child::Minimal);
    }
    if (argc >= 2 && qstrcmp(argv[1], "--child-text") == 0) {
        return RunChild(argc, argv, Child::Text);
    }
    if (argc >= 3 && qstrcmp(argv[1], "--child-client") == 0) {
        return RunChild(argc, argv, Child::Client);
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
    const QStringList text{QStringLiteral("--child-text")};
    RunMs(self, client);
    const int rounds = volnar::bench::RoundsFromEnvironment("VOLNAR_BENCH_ROUNDS");
    std::vector<double> clientMs;
    std::vector<double> minimalMs;
    std::vector<double> textMs;
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        clientMs.push_back(RunMs(self, client));
        minimalMs.push_back(RunMs(self, minimal));
        textMs.push_back(RunMs(self, text));
        ratios.push_back(clientMs.back() / minimalMs.back());
    }
    std::printf("platform=%s\n", qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("rounds=%d\n", rounds);
    volnar::bench::PrintSpread("client_startup_ms", volnar::bench::SpreadOf(clientMs), 1);
    volnar::bench::PrintSpread("minimal_qt_window_ms", volnar::bench::SpreadOf(minimalMs), 1);
    volnar::bench::PrintSpread("text_icon_window_ms", volnar::bench::SpreadOf(textMs), 1);
    volnar::bench::PrintSpread("startup_ratio", volnar::bench::SpreadOf(ratios), 2);
    return 0;
}
