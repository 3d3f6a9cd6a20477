// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-bench-slowlink: 200 mixed operations (relay switches and pulses,
// script and alert executes, list walks, ADC option loads, script and alert
// updates, adds and deletes) through a BoardLink with real net-snmp sessions,
// up to eight in flight, against volnar-station on loopback answering after
// 900 ± 600 ms and dropping one request in ten; the directory row says
// RETRIES 2, TIMEOUT 1 (0.64 s). Then the station's log and state file are
// held against what the link reported: a change sent once must never be
// carried out twice, and a walk or load must read the station's tables as
// they were. Prints name=value lines, duplicated_changes last; exits non-zero
// when a change was duplicated or an answer mixed. Talks only to 127.0.0.1,
// and stops by itself within ten minutes. VOLNAR_BENCH_SEED changes the
// draws; VOLNAR_BENCH_KEEP keeps the station's state file and log.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <deque>
#include <vector>

#include "bench_support.h"
#include "link/board_link.h"
#include "slowlink_checks.h"
#include "slowlink_operations.h"
#include "slowlink_plan.h"
#include "slowlink_station.h"

namespace {

using namespace volnar::bench::slowlink;

constexpr int kInFlight = 8;
constexpr int kCapMs = 10 * 60 * 1000;

// Counts the link's error boxes: each one stops the link with everything in
// flight (and restarts its request ids), so a run that saw one proves nothing.
// The stops the client would show a box for.
struct CountingStops {
    void Stopped(const QString& text) {
        std::fprintf(stderr, "volnar-bench-slowlink: %s\n", qPrintable(text));
        ++shown;
    }
    int shown = 0;
};

int Fail(const char* what) {
    std::fprintf(stderr, "volnar-bench-slowlink: %s\n", what);
    return 1;
}

// What the rounds came to, beside the operations themselves.
struct Rounds {
    std::deque<Asked> operations;       // stable addresses: the runner writes into them
    std::vector<StationTables> before;  // the tables as each round started
    int tablesMoved = 0;                // reading rounds during which the tables changed
    bool inTime = true;
};

Rounds RunRounds(Station& station, volnar::BoardLink& link, const QDeadlineTimer& deadline) {
    Rounds rounds;
    Runner runner(link, kInFlight);
    Planner planner(static_cast<unsigned>(qEnvironmentVariableIntValue("VOLNAR_BENCH_SEED")));
    for (int round = 0; round <= kRounds; ++round) {
        const StationTables tables = station.Tables();
        if (round > 0 && IsReadingRound(round - 1) && !SameTables(tables, rounds.before.back())) {
            ++rounds.tablesMoved;
        }
        if (round == kRounds || !rounds.inTime) {
            break;
        }
        rounds.before.push_back(tables);
        std::vector<Asked*> batch;
        for (Asked& asked : planner.Round(round, tables)) {
            rounds.operations.push_back(std::move(asked));
            batch.push_back(&rounds.operations.back());
        }
        rounds.inTime = runner.Run(batch, deadline);
    }
    return rounds;
}

int Count(const Rounds& rounds, volnar::OperationEnding ending) {
    return static_cast<int>(std::count_if(rounds.operations.begin(), rounds.operations.end(),
                                          [ending](const Asked& a) { return a.ending == ending; }));
}

int Report(const Rounds& rounds, const LogVerdict& log, int errorBoxes, double seconds) {
    using volnar::OperationEnding;
    int mixed = 0;
    int reads = 0;
    for (const Asked& asked : rounds.operations) {
        if (IsRead(asked.kind)) {
            ++reads;
            mixed += IsMixed(asked, rounds.before.at(static_cast<std::size_t>(asked.round)));
        }
    }
    std::printf("operations=%d\n", static_cast<int>(rounds.operations.size()));
    std::printf("in_flight=%d\n", kInFlight);
    std::printf("completed=%d\n", Count(rounds, OperationEnding::Done));
    std::printf("timed_out=%d\n", Count(rounds, OperationEnding::TimedOut));
    std::printf("ended_unknown=%d\n", Count(rounds, OperationEnding::Unknown));
    std::printf("unknown_done=%d\n", log.unknownDone);
    std::printf("unknown_not_done=%d\n", log.unknownNotDone);
    std::printf("refused=%d\n", Count(rounds, OperationEnding::Refused));
    std::printf("not_sent=%d\n", Count(rounds, OperationEnding::NotSent));
    std::printf("cancelled=%d\n", Count(rounds, OperationEnding::Cancelled));
    std::printf("error_boxes=%d\n", errorBoxes);
    std::printf("done_without_effect=%d\n", log.doneWithoutEffect);
    std::printf("once_arrived_twice=%d\n", log.onceResent);
    std::printf("requests_logged=%d\n", log.requests);
    std::printf("dropped_by_station=%d\n", log.droppedByStation);
    std::printf("reads_checked=%d\n", reads);
    std::printf("tables_changed_while_reading=%d\n", rounds.tablesMoved);
    std::printf("seconds=%.1f\n", seconds);
    std::printf("mixed_answers=%d\n", mixed);
    std::printf("duplicated_changes=%d\n", log.duplicatedChanges);
    // The comparison holds only for a whole run on one session whose reading
    // rounds kept the tables still.
    const bool valid = rounds.inTime && errorBoxes == 0 && rounds.tablesMoved == 0;
    return valid && mixed == 0 && log.duplicatedChanges == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(volnar::bench::FilterQtMessages);
    QCoreApplication app(argc, argv);
    const QDeadlineTimer deadline(kCapMs);
    QElapsedTimer clock;
    clock.start();
    QTemporaryDir work;
    if (!work.isValid()) {
        return Fail("no temporary folder");
    }
    if (qEnvironmentVariableIsSet("VOLNAR_BENCH_KEEP")) {
        // The state file and the request log, for a look after a failed run.
        work.setAutoRemove(false);
        std::fprintf(stderr, "volnar-bench-slowlink: station files in %s\n",
                     qPrintable(work.path()));
    }
    Station station(work.path());
    if (!station.Prepare(kBaseScripts, kBaseAlerts)) {
        return 1;
    }
    const quint16 port =
        station.Start({QStringLiteral("--delay"), QStringLiteral("900:600"),
                       QStringLiteral("--drop"), QStringLiteral("0.1"), QStringLiteral("--seed"),
                       QString::number(qEnvironmentVariableIntValue("VOLNAR_BENCH_SEED") + 1)});
    if (port == 0) {
        return Fail("the simulator did not start");
    }
    CountingStops messages;
    const volnar::StationRecord record{.IPADDRESS = QStringLiteral("127.0.0.1"),
                                       .PASSWORD = QStringLiteral("public"),
                                       .COMMENT = QStringLiteral("slow link"),
                                       .DEFAULT = QStringLiteral("YES"),
                                       .PORT = QString::number(port),
                                       .TIMEOUT = QStringLiteral("1"),
                                       .RETRIES = QStringLiteral("2")};
    volnar::BoardLink link([&record](const QString& address) -> volnar::StationLookupAnswer {
        if (address == record.IPADDRESS) {
            return std::optional<volnar::StationRecord>(record);
        }
        return std::optional<volnar::StationRecord>();
    });
    link.ChooseStation(QStringLiteral("127.0.0.1"));
    QObject::connect(&link, &volnar::BoardLink::StoppedByError, &link,
                     [&messages](const QString& text, bool) { messages.Stopped(text); });
    QObject::connect(&link, &volnar::BoardLink::StoppedByTimeOuts, &link,
                     [&messages] { messages.Stopped(QStringLiteral("time-outs in a row")); });
    if (!link.StartSnmpSession()) {
        return Fail("no SNMP session");
    }
    const Rounds rounds = RunRounds(station, link, deadline);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    if (!rounds.inTime) {
        std::fprintf(stderr, "volnar-bench-slowlink: stopped at the ten-minute cap\n");
    }
    station.Stop();
    const LogVerdict log = ReadLog(station.LogLines(), rounds.operations);
    for (const QString& note : log.notes) {
        std::fprintf(stderr, "volnar-bench-slowlink: %s\n", qPrintable(note));
    }
    return Report(rounds, log, messages.shown, seconds);
}
