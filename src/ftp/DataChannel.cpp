#include "ftp/DataChannel.h"

#include <vector>

#include "common/Convert.h"
#include "socket/ErrorTable.h"
#include "ftp/ControlChannel.h"
#include "ftp/ReplyNumbers.h"
#include "ftp/Transcript.h"

namespace vollum {

DataChannel::DataChannel(ControlChannel& control, Transcript& transcript, UserPrompts& prompts,
                         const StartupValues& settings)
    : control_(control), transcript_(transcript), settings_(settings) {
    socket_.SetNonBlocking(false);
    socket_.SetPrompts(&prompts);
    // Its errors count as the session's: the control channel decides what they end.
    // A wait we abandoned ourselves (Cancel) is no failure: reported, it would
    // show an error box and make the ABOR's reply look unreadable.
    socket_.OnErrorOccurred = [this, &control](TSockets*, int, int error, const std::string& msg) {
        if (error == WSAEINTR && abandoned_) return;
        control.SocketErrorOccurred(error, msg);
    };
    socket_.MaximumReceiveLength = 255;
    socket_.OnRefusedPeer = [&transcript](const std::string& address) {
        const std::string text = "Refused a data connection from " + address + ": not the server";
        transcript.ShowLine("%s", {text});
        transcript.LogLine(text);
    };
}

void DataChannel::Prepare(int timeoutSeconds) {
    abandoned_ = false;
    socket_.SetNonBlocking(false);
    socket_.Timeout = timeoutSeconds;
}

std::string DataChannel::PortCommand(const std::string& localAddress, int port) {
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

std::string DataChannel::EprtCommand(const std::string& localAddress, int port) {
    return "EPRT |2|" + localAddress + "|" + std::to_string(port) + "|";
}

int DataChannel::OpenPassive() {
    const bool ipv6 = control_.IsIPv6();
    int result = control_.FtpCommand("EPSV");
    int port = result == 2 ? EpsvPort(control_.LastReply()) : -1;
    const std::string code = control_.LastReply().substr(0, 3);
    // Older servers know only PASV, which cannot name an IPv6 port's host.
    if (result == 5 && !ipv6 && (code == "500" || code == "502")) {
        result = control_.FtpCommand("PASV");
        port = result == 2 ? PasvPort(control_.LastReply()) : -1;
    }
    if (result != 2) return result;
    if (port < 0) {
        transcript_.ShowText("No data port in the server's reply\r\n");
        return 5;
    }
    // Always the control connection's peer: an address named in the reply
    // could send the data anywhere (or be a private one behind NAT).
    socket_.IPAddr = control_.Ends().remoteAddress;
    socket_.Port = std::to_string(port);
    // Only begun here: the transfer command goes out while the connect is
    // under way (BeforeTransferCommand), which saves a round trip per file.
    socket_.SConnectBegin();
    return socket_.FSocket != -1 ? result : 5;
}

bool DataChannel::FinishConnect() {
    // A failed or abandoned connect leaves the socket without a peer.
    if (socket_.SConnectEnd() && socket_.GetRemotePort(socket_.FSocket) != "0") return true;
    if (socket_.FSocket != -1) socket_.Disconnect();
    return false;
}

void DataChannel::BeforeTransferCommand() {
    if (!settings_.PassiveMode || socket_.FSocket == -1) return;
    control_.AfterNextSend([this] {
        if (FinishConnect()) return;
        // The server now waits for a connection that will not come: ABOR ends
        // that, and both replies are left to be read before the next command.
        control_.SendUrgent("ABOR\r\n");
        control_.OweReply();
        control_.RequestAbort();
    });
}

int DataChannel::OpenPort() {
    // Without a control connection there is no address to announce.
    if (!control_.Connected() || !control_.SocketOpen()) {
        transcript_.ShowText("Not Connected\r\n");
        return 5;
    }
    // A listening socket left from an earlier transfer would only leak.
    if (socket_.FListenSocket != -1) socket_.CancelListen();
    // On a TLS session the data would otherwise go in clear text.
    if (control_.Protected() && !protect_) {
        transcript_.ShowText("No data connection: PROT P was not accepted on this TLS session\r\n");
        return 5;
    }
    if (settings_.PassiveMode) return OpenPassive();
    const bool ipv6 = control_.IsIPv6();
    const std::string address = control_.LocalAddress();
    socket_.ListenIPv6 = ipv6;
    socket_.ListenAddress = address;
    socket_.AcceptFrom = settings_.DataFromAnyAddress ? std::string() : control_.Ends().remoteAddress;
    socket_.Port = "0";
    socket_.SListen();
    if (socket_.FListenSocket == -1) return 5;
    const int port = StrToInt(socket_.GetLocalPort(socket_.FListenSocket));
    return control_.FtpCommand("%s", {ipv6 ? EprtCommand(address, port) : PortCommand(address, port)});
}

void DataChannel::Accept() {
    // A passive connection was begun in OpenPort.
    if (settings_.PassiveMode) FinishConnect();
    else socket_.Accept();
    if (protect_ && socket_.FSocket != -1) SecureConnection();
}

void DataChannel::SecureConnection() {
    std::string problem;
    if (!control_.Protected()) problem = "the control connection is not protected";
    else if (!socket_.StartTls(control_.TlsSettings(), control_.HostName(), control_.Tls()))
        problem = socket_.TlsProblem();
    else if (socket_.Tls()->Peer().fingerprint != control_.Tls()->Peer().fingerprint)
        problem = "its certificate is not the control connection's";
    if (problem.empty()) return;
    transcript_.ShowLine("TLS on the data connection failed: %s", {problem});
    transcript_.LogLine("TLS on the data connection failed: " + problem);
    socket_.Disconnect();
}

int DataChannel::SendAbort() {
    // Not through FtpCommand: it must get through while a command is busy.
    control_.SendUrgent("ABOR\r\n");
    return control_.GetReply();
}

void DataChannel::AbortTransfer() {
    Close();
    if (!control_.Connected() || !control_.SocketOpen()) return;
    control_.SendUrgent("ABOR\r\n");
    control_.ReadRepliesWithin(2, kAbortRepliesMs);
}

void DataChannel::Close() {
    control_.AfterNextSend(nullptr);
    if (socket_.FListenSocket != -1) socket_.CancelListen();
    if (socket_.FSocket != -1) socket_.Disconnect();
}

std::string DataChannel::ListeningPort() const { return socket_.GetLocalPort(socket_.FListenSocket); }

std::string DataChannel::ListeningAddress() const { return socket_.GetLocalIPAddr(socket_.FListenSocket); }

int DataChannel::Receive(char* buffer, int size) { return socket_.SReceive(socket_.FSocket, buffer, size); }

int DataChannel::SendPart(const char* buffer, int size) { return socket_.SSendPart(socket_.FSocket, buffer, size); }

bool DataChannel::ShutdownAndDrain() { return socket_.FSocket != -1 && socket_.ShutdownAndDrain(socket_.FSocket); }

}  // namespace vollum
