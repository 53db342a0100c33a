#pragma once
// A Secret Service of the test's own: a private session bus (dbus-run-session,
// configured to start no service by itself) with gnome-keyring-daemon in it,
// keeping its keyrings in a throw-away HOME. While it lives, this process's
// DBUS_SESSION_BUS_ADDRESS names its bus, so the programs the test starts use
// it. The test process itself must not ask the keyring: a keyring client is
// ended by the end of its bus, so the asking is done by child processes.
#include <QProcess>
#include <string>

#include "support/TempDir.h"

namespace vollum::test {

class KeyringSession {
public:
    // Empty when the tools are installed; else which one is missing.
    static std::string ToolsMissing();

    // unlocked: the daemon unlocks the login keyring (creating it); otherwise
    // a login keyring that an earlier session left in home stays locked.
    // home: where the keyrings live; empty: a directory of this session's own.
    explicit KeyringSession(bool unlocked = true, const std::string& home = "");
    // Stops the daemon and the bus, and waits for both.
    ~KeyringSession();
    KeyringSession(const KeyringSession&) = delete;
    KeyringSession& operator=(const KeyringSession&) = delete;

    // The daemon registered the Secret Service on the bus.
    bool Started() const { return daemonPid_ > 0; }
    const std::string& Home() const { return home_; }
    // A keyring that never answers (SIGSTOP), and one that has gone (the bus stays).
    void PauseDaemon();
    void KillDaemon();

private:
    TempDir ownHome_;
    std::string home_;
    QProcess bus_;
    int daemonPid_ = -1;
    bool daemonKilled_ = false;
    QByteArray previousAddress_;
    bool hadAddress_ = false;
};

}  // namespace vollum::test

// Keyring tests need the real tools; without them they say so instead of passing.
#define SKIP_WITHOUT_KEYRING_TOOLS()                                                          \
    do {                                                                                       \
        if (const std::string missing = ::vollum::test::KeyringSession::ToolsMissing();        \
            !missing.empty())                                                                  \
            GTEST_SKIP() << "keyring test skipped: " << missing << " is not installed";        \
    } while (false)
