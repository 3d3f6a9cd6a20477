// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>

namespace {

std::atomic<int> g_unexpectedOutsideTests{0};
QtMessageHandler g_qtHandler = nullptr;

// Known noise stays out of the test output: the platform plugin's notes
// (qt.qpa.*, and the offscreen plugin's uncategorised "This plugin does not
// support ..."), and the client's own debug and info lines. Kept, and not a
// failure: the client's warnings (tests provoke them on purpose and they
// explain a failure) and the ODBC driver's report of a statement the
// database refused (the directory turns it into its own message; tests
// provoke those with over-long fields and locked files). Any other warning
// from Qt itself is unexpected and fails the test that caused it.
// VOLNAR_TEST_LOG=all lets every line through unchanged.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray category(context.category ? context.category : "default");
    const bool all = qEnvironmentVariable("VOLNAR_TEST_LOG") == QStringLiteral("all");
    if (!all) {
        if (category.startsWith("qt.qpa.") ||
            (category == "default" && message.startsWith(u"This plugin does not support"))) {
            return;
        }
        if (category.startsWith("volnar.") && (type == QtDebugMsg || type == QtInfoMsg)) {
            return;
        }
    }
    g_qtHandler(type, context, message);
    const bool warning = type == QtWarningMsg || type == QtCriticalMsg;
    if (!warning || category.startsWith("volnar.") ||
        message.startsWith(u"QODBCResult::exec: Unable to execute statement")) {
        return;
    }
    if (::testing::UnitTest::GetInstance()->current_test_info() != nullptr) {
        ADD_FAILURE() << "Unexpected Qt warning [" << category.constData()
                      << "]: " << message.toStdString();
    } else {
        ++g_unexpectedOutsideTests;
    }
}

}  // namespace

// One main for every test executable: a QApplication on the offscreen
// platform, and settings and data folders in a temporary folder of this
// process alone, so tests never see the operator's own settings or database
// and tests running in parallel never see each other's.
int main(int argc, char** argv) {
    g_qtHandler = qInstallMessageHandler(FilterMessages);
    QTemporaryDir home;
    if (!home.isValid()) {
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Dorvik"));
    QCoreApplication::setApplicationName(QStringLiteral("VOLN"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (g_unexpectedOutsideTests > 0) {
        std::fprintf(stderr, "%d unexpected Qt warning(s) outside any test\n",
                     g_unexpectedOutsideTests.load());
        return 1;
    }
    return result;
}
