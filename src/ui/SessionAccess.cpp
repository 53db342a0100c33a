#include "ui/SessionAccess.h"

#include "ftp/TFtpSession.h"

namespace vollum {

bool SessionAccess::Connected() const { return s_.Connected; }

bool SessionAccess::Busy() const { return s_.CommandBusy || s_.TransferBusy; }

std::string SessionAccess::RemoteHost() const { return s_.Sockets1.IPAddr; }

SessionAccess::Endpoints SessionAccess::ControlEndpoints() const {
    const TSockets& c = s_.Sockets1;
    return {c.GetLocalPort(c.FSocket), c.GetLocalIPAddr(c.FSocket), c.GetRemotePort(c.FSocket),
            c.GetRemoteIPAddr(c.FSocket)};
}

void SessionAccess::PrepareConnect() {
    s_.PendingPaneLine.clear();
    s_.LastSocketError = 0;
    // A time-out of an earlier attempt would otherwise fail this one.
    s_.AbortFlag = false;
    s_.Memo1.Clear();
}

void SessionAccess::RequestAbort() { s_.AbortFlag = true; }

void SessionAccess::AbandonDataWait() {
    if (s_.Sockets2.IsBlocking()) s_.Sockets2.CancelBlockingCall();
}

void SessionAccess::AbandonAllWaits() {
    AbandonDataWait();
    if (s_.Sockets1.IsBlocking()) s_.Sockets1.CancelBlockingCall();
}

StartupValues& SessionAccess::Settings() const { return s_.Settings; }

OutputPane& SessionAccess::Pane() const { return s_.Memo1; }

UserPrompts& SessionAccess::Prompts() const { return s_.Prompts; }

}  // namespace vollum
