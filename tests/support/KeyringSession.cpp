#include "support/KeyringSession.h"

#include <signal.h>

#include <QStandardPaths>
#include <filesystem>
#include <stdexcept>

namespace vollum::test {

namespace {

// A session bus that only routes: no service files, so nothing is started on
// demand (not a second keyring once the test has killed the first).
const char* const kBusConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// Starts the daemon, waits (bounded) until it owns the Secret Service's name,
// prints "PID ADDRESS", and stops the daemon when its input ends: the test
// closes it, or the test process has gone.
const char* const kScript = R"(
if [ "$UNLOCK" = 1 ]; then
  printf test | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
else
  gnome-keyring-daemon --foreground --components=secrets </dev/null >/dev/null 2>&1 &
fi
k=$!
i=0
until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q true; do
  i=$((i + 1))
  if [ $i -gt 200 ]; then kill $k; exit 1; fi
  sleep 0.05
done
echo "$k $DBUS_SESSION_BUS_ADDRESS"
read _ || true
kill $k 2>/dev/null
kill -CONT $k 2>/dev/null
wait $k 2>/dev/null
exit 0
)";

}  // namespace

std::string KeyringSession::ToolsMissing() {
    for (const char* tool : {"dbus-run-session", "dbus-send", "gnome-keyring-daemon"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) return tool;
    return "";
}

KeyringSession::KeyringSession(bool unlocked, const std::string& home) : home_(home.empty() ? ownHome_.Path() : home) {
    WriteFile(ownHome_ / "bus.conf", kBusConfig);
    std::filesystem::create_directories(home_ + "/run");
    std::filesystem::permissions(home_ + "/run", std::filesystem::perms::owner_all);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home_));
    env.insert("XDG_DATA_HOME", QString::fromStdString(home_ + "/.local/share"));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home_ + "/run"));
    env.remove("DISPLAY");  // no prompt on anyone's screen
    env.insert("UNLOCK", unlocked ? "1" : "0");
    bus_.setProcessEnvironment(env);
    bus_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bus_.start("dbus-run-session",
               {QString::fromStdString("--config-file=" + ownHome_ / "bus.conf"), "--", "sh", "-c", kScript});
    if (!bus_.waitForStarted(10000)) throw std::runtime_error("dbus-run-session did not start");
    // The script gives up after ten seconds of polling; the machine may be slow to start it.
    for (int waited = 0; !bus_.canReadLine() && waited < 30000; waited += 100)
        if (!bus_.waitForReadyRead(100) && bus_.state() == QProcess::NotRunning) break;
    const QByteArray line = bus_.readLine().trimmed();
    const qsizetype blank = line.indexOf(' ');
    if (blank <= 0) throw std::runtime_error("gnome-keyring-daemon did not take the Secret Service's name");
    daemonPid_ = line.left(blank).toInt();
    hadAddress_ = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    previousAddress_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", line.mid(blank + 1));
}

KeyringSession::~KeyringSession() {
    if (hadAddress_) qputenv("DBUS_SESSION_BUS_ADDRESS", previousAddress_);
    else qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    // The end of its input stops the daemon; dbus-run-session then stops the bus.
    bus_.closeWriteChannel();
    if (bus_.waitForFinished(15000)) return;
    if (daemonPid_ > 0 && !daemonKilled_) ::kill(daemonPid_, SIGKILL);
    bus_.waitForFinished(5000);
}

void KeyringSession::PauseDaemon() { ::kill(daemonPid_, SIGSTOP); }

void KeyringSession::KillDaemon() {
    ::kill(daemonPid_, SIGKILL);
    daemonKilled_ = true;
}

}  // namespace vollum::test
