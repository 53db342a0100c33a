// The data connection every transfer opens: listen, announce with PORT, and
// the urgent ABOR that interrupts a running transfer.
#include <vector>

#include "common/Convert.h"
#include "ftp/TFtpSession.h"

namespace vollum {

std::string TFtpSession::PortCommand(const std::string& localAddress, int port) {
    // Each dotted part is converted on its own and the port split by
    // arithmetic, so the text never depends on the host's byte order.
    std::vector<int> parts;
    size_t start = 0;
    for (;;) {
        const size_t dot = localAddress.find('.', start);
        parts.push_back(StrToInt(localAddress.substr(start, dot - start)));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    std::string text = "PORT ";
    for (const int part : parts) text += std::to_string(part) + ",";
    text += std::to_string(port >> 8) + "," + std::to_string(port & 255);
    return text;
}

int TFtpSession::OpenDataPort() {
    // Without a control connection there is no address to announce.
    if (!Connected || Sockets1.FSocket == -1) {
        ShowText("Not Connected\r\n");
        return 5;
    }
    // A listening socket left from an earlier transfer would only leak.
    if (Sockets2.FListenSocket != -1) Sockets2.CancelListen();
    Sockets2.Port = "0";
    Sockets2.SListen();
    const std::string address = Sockets1.GetLocalIPAddr(Sockets1.FSocket);
    const int port = StrToInt(Sockets2.GetLocalPort(Sockets2.FListenSocket));
    return FtpCommand("%s", {PortCommand(address, port)});
}

int TFtpSession::SendAbort() {
    // Not through FtpCommand: it must get through while a command is busy.
    Sockets1.SendUrgent("ABOR\r\n");
    return GetReply();
}

void TFtpSession::CloseDataConnection() {
    // Only what is open: closing a socket that a failed Accept never opened
    // would raise an error box of its own.
    if (Sockets2.FListenSocket != -1) Sockets2.CancelListen();
    if (Sockets2.FSocket != -1) Sockets2.Disconnect();
}

bool TFtpSession::RefuseIfBusy() {
    if (!CommandBusy && !TransferBusy) return false;
    ShowLine("Command already in progress, request ignored");
    return true;
}

}  // namespace vollum
