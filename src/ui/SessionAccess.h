#pragma once
// The windows' one way into the engine's state: what the user interface asks
// of the session's parts beyond its verbs, gathered in one place. Operations
// are called on the session directly.
#include <string>

#include "config/StartupValues.h"

namespace vollum {

class OutputPane;
class TFtpSession;
class UserPrompts;

class SessionAccess {
public:
    explicit SessionAccess(TFtpSession& session) : s_(session) {}

    TFtpSession& Session() const { return s_; }
    bool Connected() const;
    // A command or a transfer is running (a second one would be refused).
    bool Busy() const;
    std::string RemoteHost() const;
    // "Local port: ... IP: ... connected to rmt port: ... IP: ..." in that order.
    struct Endpoints {
        std::string localPort, localIP, remotePort, remoteIP;
    };
    Endpoints ControlEndpoints() const;

    // Before Connect: no half line, no error and no abort left from earlier.
    void PrepareConnect();
    void RequestAbort();
    // The user's Cancel Transfer: an abort that is no failure.
    void CancelTransfer();
    // Ends a socket wait in progress at once instead of at its deadline.
    void AbandonDataWait();
    void AbandonAllWaits();

    StartupValues& Settings() const;
    OutputPane& Pane() const;
    UserPrompts& Prompts() const;

private:
    TFtpSession& s_;
};

}  // namespace vollum
