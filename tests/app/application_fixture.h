// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/application.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <functional>
#include <utility>

#include "adc/adc_options_dialog.h"
#include "alerts/alert_editors.h"
#include "alerts/alert_screens.h"
#include "app/about_text.h"
#include "app/database_location.h"
#include "app/database_options_dialog.h"
#include "app/station_watch.h"
#include "directory/database_template.h"
#include "directory_view/ipv4_edit.h"
#include "directory_view/station_dialogs.h"
#include "fleet/fleet_poller.h"
#include "fleet_view/fleet_window.h"
#include "history_view/trend_window.h"
#include "link/board_objects.h"
#include "lists/table_list_dialog.h"
#include "relays/relay_dialog.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_screens.h"
#include "support/file_lock.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/recording_transport.h"

namespace volnar {

inline QString S(const char* text) {
    return QString::fromUtf8(text);
}

using testing::RecordingMessageService;

// The program with recorded boxes and a transport that sends nothing.
class ApplicationTest : public ::testing::Test {
protected:
    std::unique_ptr<Application> Make(const QString& database) {
        auto app =
            std::make_unique<Application>(StartupOptions{database, {}, 2026, {}, {}}, &messages,
                                          [this]() -> std::unique_ptr<SnmpTransport> {
                                              auto made = std::make_unique<RecordingTransport>();
                                              transport = made.get();
                                              return made;
                                          });
        Settle(*app);
        return app;
    }

    // Lets the directory's worker answer everything asked of it so far.
    static void Settle(Application& app) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return app.Worker().Outstanding() == 0; }, 10000));
    }

    // A directory whose default station is 127.0.0.1.
    std::unique_ptr<Application> MakeWithLoopbackStation(const QString& location = {}) {
        auto app = Make(location.isEmpty() ? folder.filePath(S("stations.db")) : location);
        EXPECT_TRUE(app->Directory().AddStation(
            {S("127.0.0.1"), S("public"), S("bench"), {}, S("161"), S("1"), S("0")}));
        EXPECT_TRUE(app->Directory().SetDefaultStation(S("127.0.0.1")));
        app->LoadStationList();
        Settle(*app);
        messages.boxes.clear();
        return app;
    }

    // The same on a new file that FileLock can hold: the worker then waits as
    // long as the lock lasts (its busy wait is a minute, not 2 s).
    std::unique_ptr<Application> MakeWithLockableStation() {
        lockable = folder.filePath(S("lockable%1.db").arg(++lockables));
        EXPECT_EQ(CreateDatabaseTemplate(lockable), TemplateResult::Created);
        return MakeWithLoopbackStation(
            S("DRIVER={SQLite3};Database=%1;Timeout=60000").arg(lockable));
    }

    QPushButton* Button(Application& app, const char* name) {
        return app.Window().findChild<QPushButton*>(S(name));
    }

    QTemporaryDir folder;
    QString lockable;
    int lockables = 0;
    RecordingMessageService messages;
    QPointer<RecordingTransport> transport;
};

using testing::FileLock;

}  // namespace volnar
