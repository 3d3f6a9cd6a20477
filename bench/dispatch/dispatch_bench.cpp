// SPDX-License-Identifier: GPL-3.0-or-later
// Time for one status answer through the dispatcher into the status panel's
// display model, and the memory held after 100,000 of them. No network: the
// answers are handed to the dispatcher as the SNMP session would.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/status_panel.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "support/recording_transport.h"

namespace {

using namespace volnar;

constexpr int kAnswers = 100'000;
constexpr int kWarmUp = 2'000;

long RssKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// A 60-field status record whose readings move with n, as a live station's do.
QByteArray StatusValue(int n) {
    QByteArray record;
    for (int input = 1; input <= 8; ++input) {
        record += "Input " + QByteArray::number(input) + '|' +
                  QByteArray::number(0.001 * ((n * 7 + input * 13) % 20000), 'f', 4) + '|';
    }
    for (int relay = 1; relay <= 4; ++relay) {
        record +=
            "Relay " + QByteArray::number(relay) + '|' + QByteArray::number((n + relay) % 2) + '|';
    }
    record += QByteArray::number(20 + n % 10) + "|68|Station|" + QByteArray::number(n) + " s|";
    for (int input = 1; input <= 8; ++input) {
        record += input % 2 ? "v|" : "a|";
    }
    for (int input = 1; input <= 8; ++input) {
        record += "50|";
    }
    for (int input = 1; input <= 8; ++input) {
        record += "75|";
    }
    for (int input = 1; input <= 8; ++input) {
        record += input == 8 ? "3" : "3|";
    }
    return record;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StationRecord station{
        QStringLiteral("127.0.0.1"), QStringLiteral("public"), QString(),
        QStringLiteral("YES"),       QStringLiteral("16100"),  QStringLiteral("10"),
        QStringLiteral("2")};
    RecordingTransport* transport = nullptr;
    BoardLink link([&](const QString&) -> std::optional<StationRecord> { return station; },
                   [&transport] {
                       auto made = std::make_unique<RecordingTransport>();
                       transport = made.get();
                       return made;
                   });
    link.ChooseStation(QStringLiteral("127.0.0.1"));
    StatusPanel panel;
    QObject::connect(
        &link, &BoardLink::StatusRecordReceived, &panel, [&panel](const QByteArray& record) {
            panel.ShowStatusRecord(
                std::string_view(record.constData(), static_cast<std::size_t>(record.size())));
        });
    link.StartSnmpSession();

    // Records are built beforehand: only dispatch and display are timed.
    std::vector<BoardResponse> answers(64);
    for (std::size_t i = 0; i < answers.size(); ++i) {
        answers[i].requestId = 501;
        answers[i].oid = std::string(board::kStatusRecord);
        answers[i].syntax = kSyntaxOctetString;
        answers[i].value = StatusValue(static_cast<int>(i));
    }
    // Each answer answers the status request in flight: a poll goes out
    // before it (not timed), as the poll timer would send it.
    const auto answerOne = [&](int i) {
        transport->requests.clear();
        link.PollTick();
        BoardResponse& answer = answers[static_cast<std::size_t>(i) % answers.size()];
        answer.requestId = link.StatusRequestId();
        const auto start = std::chrono::steady_clock::now();
        link.HandleBoardResponse(answer);
        return std::chrono::steady_clock::now() - start;
    };
    for (int i = 0; i < kWarmUp; ++i) {
        answerOne(i);
    }
    const long rssBefore = RssKib();
    std::chrono::steady_clock::duration elapsed{};
    for (int i = 0; i < kAnswers; ++i) {
        elapsed += answerOne(i);
    }
    const long rssAfter = RssKib();
    if (link.ReceivedCount() != kWarmUp + kAnswers) {
        std::fprintf(stderr, "dispatcher dropped answers\n");
        return 1;
    }
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    std::printf("answers=%d\n", kAnswers);
    std::printf("rss_growth_kib=%ld\n", rssAfter - rssBefore);
    std::printf("ns_per_status_answer=%lld\n", static_cast<long long>(ns / kAnswers));
    return 0;
}
