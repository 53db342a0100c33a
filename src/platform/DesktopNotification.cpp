#include "platform/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace vollum {

namespace {

constexpr const char* kConnectionName = "vollum-notification";

// Servers that support body markup would read "<" and "&" in a file name as markup.
QString PlainText(const std::string& text) { return QString::fromLocal8Bit(text.data(), qsizetype(text.size())).toHtmlEscaped(); }

}  // namespace

std::string SessionBusAddress() {
    std::string address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString();
    if (address.empty()) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        const QString socket = runtime + "/bus";
        if (!runtime.isEmpty() && QFileInfo(socket).exists()) address = "unix:path=" + socket.toStdString();
    }
    // libdbus would start a bus daemon (and leave it running) for this one message.
    if (address.rfind("autolaunch:", 0) == 0) return "";
    return address;
}

bool ShowDesktopNotification(const std::string& appName, const std::string& iconName, const std::string& summary,
                             const std::string& body, int replyMs) {
    const std::string address = SessionBusAddress();
    if (address.empty()) return false;
    bool shown = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), kConnectionName);
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                "Notify");
            call << QString::fromStdString(appName) << 0u << QString::fromStdString(iconName) << PlainText(summary)
                 << PlainText(body) << QStringList() << QVariantMap() << -1;
            // The wait keeps the event loop running, as every wait here does.
            const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, replyMs);
            shown = reply.type() == QDBusMessage::ReplyMessage;
        }
    }
    QDBusConnection::disconnectFromBus(kConnectionName);
    return shown;
}

}  // namespace vollum
