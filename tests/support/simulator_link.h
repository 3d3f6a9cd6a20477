// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <QTest>
#include <functional>
#include <memory>

#include "link/board_link.h"
#include "link/snmp_session.h"
#include "support/gui_helpers.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/station_simulator.h"

namespace volnar::testing {

// A board link (real net-snmp sessions) whose directory holds one station,
// 127.0.0.1, the volnar-station this fixture starts on a free port. `session`
// is the link's newest net-snmp session.
class SimulatorLinkTest : public ::testing::Test {
protected:
    void StartSimulatorAndLink(QStringList simArgs, QString community = QStringLiteral("public"),
                               QString timeout = QStringLiteral("10"),
                               QString retries = QStringLiteral("2")) {
        sim = std::make_unique<StationSimulator>(std::move(simArgs), std::move(community));
        ASSERT_TRUE(sim->Start()) << sim->errorText().toStdString();
        record = StationRecord{sim->host(),
                               sim->community(),
                               QStringLiteral("simulator"),
                               QStringLiteral("YES"),
                               QString::number(sim->port()),
                               std::move(timeout),
                               std::move(retries)};
        link = std::make_unique<BoardLink>(
            [this](const QString& address) -> std::optional<StationRecord> {
                return address == record.IPADDRESS ? std::optional(record) : std::nullopt;
            },
            [this]() -> std::unique_ptr<SnmpTransport> {
                auto made = std::make_unique<SnmpSession>();
                session = made.get();
                return made;
            });
        link->ChooseStation(QStringLiteral("127.0.0.1"));
        // The box a screen shows for a stop on an error.
        QObject::connect(link.get(), &BoardLink::StoppedByError, link.get(),
                         [this](const QString& text, bool boxDue) {
                             if (boxDue) {
                                 messages.ShowError(text);
                             }
                         });
    }

    RecordingMessageService messages;
    std::unique_ptr<StationSimulator> sim;
    StationRecord record;
    QPointer<SnmpSession> session;
    std::unique_ptr<BoardLink> link;
};

}  // namespace volnar::testing
