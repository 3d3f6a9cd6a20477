// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-bench-soak [--minutes N]: the real client left alone against a
// station that loses requests, goes away and comes back, and a directory that
// another program locks. Runs `volnar --database D --connect 127.0.0.24
// --record F` (offscreen) against `volnar-station --drop 0.3` on 127.0.0.24
// for N minutes (10 by default; a few for a try). A quarter of the way in a
// SQLite lock holds the directory for 12 s; from 40 % to 60 % of the run (two
// minutes of ten) the simulator is stopped, then started again on the same
// port with the same state and log. At the end the simulator is stopped
// first and the client a few seconds later, so every answer sent has been
// taken in. Talks only to loopback addresses.
//
// Prints name=value lines:
//   answers_in_station_log  status polls the station answered, from its log:
//                           GETs of the status record with an answer status
//                           (a request --drop dropped has none and a "note":
//                           "dropped"); a resend of the same request id
//                           answered right after an answered one counts
//                           once, since the client takes one answer per
//                           request. On loopback every answer sent arrives,
//                           before the client's time-out (no --delay).
//   csv_rows                rows in the recording (and in any file beside it,
//                           which there should be none of): one per answer
//                           the client took in. Must equal the figure above.
//   history_gaps            gaps opened in the station's history, from the
//                           client's "gap in the history of" log lines: runs
//                           of lost answers, the outage, the restarts.
//   history_resets          a gap line reporting fewer samples than the one
//                           before: the history started again. Must be 0.
//   restarts                the client's unattended restarts ("restarting in").
//   rss_growth_kib          VmRSS of the client at the end less VmRSS after
//                           the warm-up (a tenth of the run); goal under 1,024.
// Exits non-zero when the rows and the answers differ, the history was reset
// or the client ended by itself. VOLNAR_BENCH_SEED changes the draws;
// VOLNAR_BENCH_KEEP keeps the folder with the logs and the recording.
#include <sqlite3.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "bench_support.h"
#include "soak_figures.h"

namespace {

using namespace volnar::bench::soak;

const QString kAddress = QStringLiteral("127.0.0.24");
const QString kCommunity = QStringLiteral("soak");
// The status record's identifier, as the client asks for it.
constexpr std::string_view kStatusRecord = "1.3.6.1.4.1.32473.3.1.2.77";
constexpr int kLockMs = 12000;
constexpr int kDrainMs = 4000;  // after the simulator's stop at the end

int Fail(const char* what) {
    std::fprintf(stderr, "volnar-bench-soak: %s\n", what);
    return 1;
}

qint64 RssKib(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    static const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
    const QRegularExpressionMatch match = rss.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// volnar-station on kAddress, stopped and started again on the same port.
class Simulator {
public:
    explicit Simulator(QString folder) : m_folder(std::move(folder)) {}
    ~Simulator() { Stop(); }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The port it listens on, 0 when it did not start.
    quint16 Start(quint16 port) {
        m_process.setProgram(QStringLiteral(VOLNAR_SIM_BINARY));
        m_process.setArguments(
            {QStringLiteral("--listen"), kAddress + QStringLiteral(":%1").arg(port),
             QStringLiteral("--community"), kCommunity, QStringLiteral("--state"),
             m_folder + QStringLiteral("/station.json"), QStringLiteral("--log"), LogPath(),
             QStringLiteral("--drop"), QStringLiteral("0.3"), QStringLiteral("--seed"),
             QString::number(qEnvironmentVariableIntValue("VOLNAR_BENCH_SEED") + 24 + m_starts++)});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:(\\d+)"));
        QByteArray output;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000 && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            output += m_process.readAllStandardOutput();
            if (const auto match = listening.match(QString::fromLatin1(output)); match.hasMatch()) {
                return static_cast<quint16>(match.captured(1).toUInt());
            }
        }
        return 0;
    }
    void Stop() {
        if (m_process.state() == QProcess::NotRunning) {
            return;
        }
        m_process.terminate();  // saves its state and ends
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    QString LogPath() const { return m_folder + QStringLiteral("/station.log"); }

private:
    QString m_folder;
    QProcess m_process;
    int m_starts = 0;
};

// The run's moments, in ms from the client's start.
struct Timeline {
    qint64 warmedUp, lockFrom, lockTo, outageFrom, outageTo, end;
};

Timeline TimelineOf(double minutes) {
    const auto total = static_cast<qint64>(minutes * 60'000);
    return {.warmedUp = total / 10,
            .lockFrom = total / 4,
            .lockTo = total / 4 + kLockMs,
            .outageFrom = total * 4 / 10,
            .outageTo = total * 6 / 10,
            .end = total};
}

struct Run {
    qint64 rssWarm = -1;
    qint64 rssEnd = -1;
    bool clientAlive = true;
    bool restarted = true;
    double seconds = 0;
};

// Holds the directory file as another program would, until released.
class DirectoryLock {
public:
    ~DirectoryLock() { Release(); }
    bool Take(const QString& file) {
        if (sqlite3_open(QFile::encodeName(file).constData(), &m_db) != SQLITE_OK) {
            return false;
        }
        sqlite3_busy_timeout(m_db, 5000);
        return sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    void Release() {
        sqlite3_close(m_db);  // the transaction rolls back
        m_db = nullptr;
    }

private:
    sqlite3* m_db = nullptr;
};

Run Soak(QProcess& client, Simulator& simulator, quint16 port, const QString& database,
         const Timeline& at) {
    Run run;
    DirectoryLock lock;
    bool locked = false;
    bool lockDone = false;
    bool outage = false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < at.end) {
        QCoreApplication::processEvents();
        QThread::msleep(200);
        const qint64 now = clock.elapsed();
        if (client.state() != QProcess::Running) {
            run.clientAlive = false;
            break;
        }
        if (run.rssWarm < 0 && now >= at.warmedUp) {
            run.rssWarm = RssKib(client.processId());
        }
        if (!lockDone && !locked && now >= at.lockFrom) {
            locked = lock.Take(database);
            lockDone = !locked;
            std::fprintf(stderr, "volnar-bench-soak: directory %s at %llds\n",
                         locked ? "locked" : "NOT locked", static_cast<long long>(now / 1000));
        } else if (locked && now >= at.lockTo) {
            lock.Release();
            locked = false;
            lockDone = true;
        }
        if (!outage && now >= at.outageFrom && now < at.outageTo) {
            simulator.Stop();
            outage = true;
            std::fprintf(stderr, "volnar-bench-soak: simulator stopped at %llds\n",
                         static_cast<long long>(now / 1000));
        } else if (outage && now >= at.outageTo) {
            run.restarted = simulator.Start(port) == port;
            outage = false;
            std::fprintf(stderr, "volnar-bench-soak: simulator started again at %llds\n",
                         static_cast<long long>(now / 1000));
        }
    }
    lock.Release();
    // The simulator first: an answer it sent is then taken in before the end.
    simulator.Stop();
    QThread::msleep(kDrainMs);
    run.clientAlive = run.clientAlive && client.state() == QProcess::Running;
    run.rssEnd = RssKib(client.processId());
    run.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    client.terminate();
    if (!client.waitForFinished(5000)) {
        client.kill();
        client.waitForFinished(2000);
    }
    return run;
}

QList<QByteArray> LinesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
}

int Report(const QString& folder, const Run& run) {
    const StationFigures station =
        ReadStationLog(LinesOf(folder + QStringLiteral("/station.log")), kStatusRecord);
    QFile clientLog(folder + QStringLiteral("/client.log"));
    const ClientFigures client =
        ReadClientLog(clientLog.open(QIODevice::ReadOnly) ? clientLog.readAll() : QByteArray());
    int rows = 0;
    int files = 0;
    for (const QString& name :
         QDir(folder).entryList({QStringLiteral("record*.csv")}, QDir::Files, QDir::Name)) {
        rows += std::max(0, CsvRows(folder + QLatin1Char('/') + name));
        ++files;
    }
    std::printf("seconds=%.0f\n", run.seconds);
    std::printf("status_gets_logged=%d\n", station.statusGets);
    std::printf("dropped_by_station=%d\n", station.dropped);
    std::printf("station_sessions=%d\n", station.sessions);
    std::printf("csv_files=%d\n", files);
    std::printf("recording_failures=%d\n", client.recordingFailures);
    std::printf("lost_gaps=%d\n", client.lostGaps);
    std::printf("history_resets=%d\n", client.historyResets);
    std::printf("rss_warm_kib=%lld\n", static_cast<long long>(run.rssWarm));
    std::printf("rss_end_kib=%lld\n", static_cast<long long>(run.rssEnd));
    std::printf("answers_in_station_log=%d\n", station.answersToClient);
    std::printf("csv_rows=%d\n", rows);
    std::printf("history_gaps=%d\n", client.gaps);
    std::printf("restarts=%d\n", client.restarts);
    std::printf("rss_growth_kib=%lld\n", static_cast<long long>(run.rssEnd - run.rssWarm));
    if (!run.clientAlive) {
        std::fprintf(stderr, "volnar-bench-soak: the client ended by itself\n");
    }
    if (!run.restarted) {
        std::fprintf(stderr, "volnar-bench-soak: the simulator did not start again\n");
    }
    const bool ok = run.clientAlive && run.restarted && client.historyResets == 0 &&
                    rows == station.answersToClient;
    return ok ? 0 : 1;
}

double MinutesFrom(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--minutes"));
    if (at < 0) {
        return 10;
    }
    bool ok = false;
    const double minutes = arguments.value(at + 1).toDouble(&ok);
    return ok && minutes >= 1 && minutes <= 24 * 60 ? minutes : -1;
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(volnar::bench::FilterQtMessages);
    QCoreApplication app(argc, argv);
    const double minutes = MinutesFrom(QCoreApplication::arguments());
    if (minutes < 0) {
        return Fail("usage: volnar-bench-soak [--minutes N] (N from 1 to 1440)");
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        return Fail("no temporary folder");
    }
    if (qEnvironmentVariableIsSet("VOLNAR_BENCH_KEEP")) {
        work.setAutoRemove(false);
        std::fprintf(stderr, "volnar-bench-soak: files in %s\n", qPrintable(work.path()));
    }
    Simulator simulator(work.path());
    const quint16 port = simulator.Start(0);
    if (port == 0) {
        return Fail("the simulator did not start");
    }
    const QString database = work.filePath(QStringLiteral("stations.db"));
    if (QProcess::execute(
            QStringLiteral(VOLNAR_DEMO_DB_BINARY),
            {database, QString::number(port), kCommunity, QStringLiteral("1"), kAddress}) != 0) {
        return Fail("the directory could not be written");
    }
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("volnar.history.info=true"));
    // The client's settings stay in the run's folder.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.setStandardOutputFile(work.filePath(QStringLiteral("client.log")));
    client.start(QStringLiteral(VOLNAR_CLIENT_BINARY),
                 {QStringLiteral("--database"), database, QStringLiteral("--connect"), kAddress,
                  QStringLiteral("--record"), work.filePath(QStringLiteral("record.csv"))});
    if (!client.waitForStarted(10000)) {
        return Fail("the client did not start");
    }
    const Run run = Soak(client, simulator, port, database, TimelineOf(minutes));
    return Report(work.path(), run);
}
