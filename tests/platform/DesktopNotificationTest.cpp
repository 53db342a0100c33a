// The notification at the end of a run: nothing, at once, without a session
// bus; with one, a Notify call that a notification server (here a recorder on
// a private bus) receives with the texts as plain text.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>

#include "platform/DesktopNotification.h"
#include "support/Processes.h"
#include "support/TempDir.h"

namespace vollum::test {
namespace {

// Sets environment variables for the life of the object, then restores them.
class Environment {
public:
    void Set(const char* name, const QByteArray& value) {
        saved_.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
        if (value.isNull()) qunsetenv(name);
        else qputenv(name, value);
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (std::get<2>(*it)) qputenv(std::get<0>(*it), std::get<1>(*it));
            else qunsetenv(std::get<0>(*it));
        }
    }

private:
    std::vector<std::tuple<const char*, QByteArray, bool>> saved_;
};

class NotificationRecorder : public QDBusVirtualObject {
public:
    QList<QVariantList> calls;
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify") return false;
        calls.append(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(1u)));
        return true;
    }
};

TEST(DesktopNotification, WithoutASessionBusNothingHappensAtOnce) {
    TempDir runtime;
    for (const char* address : {"", "autolaunch:"}) {
        Environment env;
        env.Set("DBUS_SESSION_BUS_ADDRESS", *address ? QByteArray(address) : QByteArray());
        env.Set("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
        EXPECT_EQ(SessionBusAddress(), "") << address;
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(ShowDesktopNotification("Vollum", "vollum", "Vollum sent 1 file", "")) << address;
        EXPECT_LT(clock.elapsed(), 200) << address;
    }
}

TEST(DesktopNotification, ANotificationServerGetsTheRunsTexts) {
    TempDir work;
    WriteFile(work / "bus.conf",
              "<busconfig><type>session</type><listen>unix:dir=" + work.Path() +
                  "</listen><policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/>"
                  "<allow receive_sender=\"*\"/></policy></busconfig>\n");
    QProcess daemon;
    daemon.start("dbus-daemon", {"--nofork", "--print-address=1",
                                 QString::fromStdString("--config-file=" + (work / "bus.conf"))});
    if (!daemon.waitForStarted(10000)) GTEST_SKIP() << "dbus-daemon cannot start";
    const int pid = static_cast<int>(daemon.processId());
    ASSERT_TRUE(daemon.waitForReadyRead(10000)) << daemon.readAllStandardError().toStdString();
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    {
        NotificationRecorder recorder;
        QDBusConnection server = QDBusConnection::connectToBus(address, "recorder");
        ASSERT_TRUE(server.isConnected());
        ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
        ASSERT_TRUE(server.registerVirtualObject("/org/freedesktop/Notifications", &recorder));
        Environment env;
        env.Set("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        EXPECT_TRUE(ShowDesktopNotification("Vollum", "vollum", "Vollum sent 1 file, kept 1", "Kept <a&b>: why"));
        server.unregisterObject("/org/freedesktop/Notifications");
        QDBusConnection::disconnectFromBus("recorder");
        ASSERT_EQ(recorder.calls.size(), 1);
        const QVariantList& args = recorder.calls.front();
        ASSERT_EQ(args.size(), 8);
        EXPECT_EQ(args[0].toString(), "Vollum");
        EXPECT_EQ(args[2].toString(), "vollum");
        EXPECT_EQ(args[3].toString(), "Vollum sent 1 file, kept 1");
        EXPECT_EQ(args[4].toString(), "Kept &lt;a&amp;b&gt;: why");
    }
    daemon.terminate();
    daemon.waitForFinished(10000);
    EXPECT_TRUE(EndProcesses({pid}, 0).empty()) << "the bus daemon outlived the test";
}

}  // namespace
}  // namespace vollum::test
