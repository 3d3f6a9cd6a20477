// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <QDialog>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/application.h"
#include "directory/database_template.h"
#include "link/board_objects.h"
#include "support/gui_helpers.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/station_simulator.h"

namespace volnar::testing {

// The whole client (real net-snmp sessions) against volnar-station on
// 127.0.0.1: a station directory in a temporary folder whose default station
// is the simulator, message boxes recorded, every opened dialog kept.
class AppE2E : public ::testing::Test {
protected:
    void Begin(QStringList simArgs = {}) {
        sim = std::make_unique<StationSimulator>(std::move(simArgs), QStringLiteral("e2e"));
        ASSERT_TRUE(sim->Start()) << sim->errorText().toStdString();
        const QString database = folder.filePath(QStringLiteral("stations.db"));
        ASSERT_EQ(CreateDatabaseTemplate(database), TemplateResult::Created);
        app = std::make_unique<Application>(StartupOptions{database, {}, 2026, {}}, &messages);
        ASSERT_TRUE(app->Directory().AddStation({sim->host(),
                                                 sim->community(),
                                                 QStringLiteral("simulator"),
                                                 {},
                                                 QString::number(sim->port()),
                                                 QStringLiteral("2"),
                                                 QStringLiteral("1")}));
        // Only loopback stations: whatever a test presses, nothing can be
        // sent anywhere but the simulator.
        ASSERT_TRUE(app->Directory().DeleteStation(QStringLiteral("10.10.10.10")));
        QObject::connect(app.get(), &Application::DialogOpened, app.get(),
                         [this](QDialog* dialog) { dialogs << dialog; });
        QObject::connect(&app->Notices(), &NoticeQueue::NoticeShown, app.get(),
                         [this](const QString& text) { notices << text; });
        app->LoadStationList();
        app->Show();
        app->ConnectTo(sim->host());
        ASSERT_TRUE(WaitFor([this] { return app->Link().ReceivedCount() >= 1; }))
            << messages.Texts().join(u'|').toStdString();
    }

    // The requests the simulator logged on one object, oldest first.
    QList<QJsonObject> RequestsOn(std::string_view oid, const char* pdu = nullptr) const {
        QList<QJsonObject> found;
        const QString wanted = QString::fromLatin1(oid.data(), static_cast<qsizetype>(oid.size()));
        for (const QJsonObject& line : sim->Requests()) {
            if (line[QStringLiteral("oid")].toString() == wanted &&
                (pdu == nullptr || line[QStringLiteral("pdu")].toString() == QLatin1String(pdu))) {
                found << line;
            }
        }
        return found;
    }

    template <typename T>
    T* LastDialog() const {
        for (auto it = dialogs.crbegin(); it != dialogs.crend(); ++it) {
            if (auto* dialog = qobject_cast<T*>(it->data())) {
                return dialog;
            }
        }
        return nullptr;
    }

    void TearDown() override {
        app.reset();
        if (sim) {
            sim->Stop();
        }
    }

    QTemporaryDir folder;
    RecordingMessageService messages;
    std::unique_ptr<StationSimulator> sim;
    std::unique_ptr<Application> app;
    QList<QPointer<QDialog>> dialogs;
    QStringList notices;
};

}  // namespace volnar::testing
