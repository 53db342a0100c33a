// Widget tests need a QApplication; this main replaces the support library's.
#include <gtest/gtest.h>

#include <QApplication>
#include <csignal>

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // No test asks the keyring of the desktop it runs on; the keyring tests start their own.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    // Windows are drawn off screen unless a platform was chosen: the tests must
    // run (and list themselves) on machines without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
