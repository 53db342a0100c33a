#include "ui/SessionAccess.h"

#include "ftp/TFtpSession.h"

namespace vollum {

bool SessionAccess::Connected() const { return s_.Connected(); }

bool SessionAccess::Busy() const { return s_.CommandBusy() || s_.TransferBusy(); }

std::string SessionAccess::RemoteHost() const { return s_.Control().HostName(); }

SessionAccess::Endpoints SessionAccess::ControlEndpoints() const {
    const ControlChannel::Endpoints e = s_.Control().Ends();
    return {e.localPort, e.localAddress, e.remotePort, e.remoteAddress};
}

void SessionAccess::PrepareConnect() { s_.PrepareConnect(); }

void SessionAccess::RequestAbort() { s_.Control().RequestAbort(); }

void SessionAccess::CancelTransfer() { s_.Control().RequestCancel(); }

void SessionAccess::AbandonDataWait() { s_.Data().AbandonWait(); }

void SessionAccess::AbandonAllWaits() {
    s_.Data().AbandonWait();
    s_.Control().AbandonWait();
}

StartupValues& SessionAccess::Settings() const { return s_.Settings; }

OutputPane& SessionAccess::Pane() const { return s_.Pane(); }

UserPrompts& SessionAccess::Prompts() const { return s_.Prompts; }

}  // namespace vollum
