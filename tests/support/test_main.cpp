#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// One main for every test executable: a QApplication on the offscreen
// platform, and settings and data folders in a temporary folder of this
// process alone, so tests never see the operator's own settings or database
// and tests running in parallel never see each other's.
int main(int argc, char** argv) {
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
    return RUN_ALL_TESTS();
}
