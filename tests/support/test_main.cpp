#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// One main for every test executable: a QApplication on the offscreen
// platform, settings and data folders redirected to the test locations.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Dorvik"));
    QCoreApplication::setApplicationName(QStringLiteral("VOLN"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
