#include "ftp/DataChannel.h"

#include <vector>

#include "common/Convert.h"
#include "ftp/ControlChannel.h"
#include "ftp/Transcript.h"

namespace vollum {

DataChannel::DataChannel(ControlChannel& control, Transcript& transcript, UserPrompts& prompts)
    : control_(control), transcript_(transcript) {
    socket_.SetNonBlocking(false);
    socket_.SetPrompts(&prompts);
    // Its errors count as the session's: the control channel decides what they end.
    socket_.OnErrorOccurred = [&control](TSockets*, int, int error, const std::string& msg) {
        control.SocketErrorOccurred(error, msg);
    };
    socket_.MaximumReceiveLength = 255;
}

void DataChannel::Prepare(int timeoutSeconds) {
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

int DataChannel::OpenPort() {
    // Without a control connection there is no address to announce.
    if (!control_.Connected() || !control_.SocketOpen()) {
        transcript_.ShowText("Not Connected\r\n");
        return 5;
    }
    // A listening socket left from an earlier transfer would only leak.
    if (socket_.FListenSocket != -1) socket_.CancelListen();
    socket_.Port = "0";
    socket_.SListen();
    const std::string address = control_.LocalAddress();
    const int port = StrToInt(socket_.GetLocalPort(socket_.FListenSocket));
    return control_.FtpCommand("%s", {PortCommand(address, port)});
}

void DataChannel::Accept() { socket_.Accept(); }

int DataChannel::SendAbort() {
    // Not through FtpCommand: it must get through while a command is busy.
    control_.SendUrgent("ABOR\r\n");
    return control_.GetReply();
}

void DataChannel::Close() {
    if (socket_.FListenSocket != -1) socket_.CancelListen();
    if (socket_.FSocket != -1) socket_.Disconnect();
}

std::string DataChannel::ListeningPort() const { return socket_.GetLocalPort(socket_.FListenSocket); }

int DataChannel::Receive(char* buffer, int size) { return socket_.SReceive(socket_.FSocket, buffer, size); }

int DataChannel::SendPart(const char* buffer, int size) { return socket_.SSendPart(socket_.FSocket, buffer, size); }

bool DataChannel::ShutdownAndDrain() { return socket_.FSocket != -1 && socket_.ShutdownAndDrain(socket_.FSocket); }

}  // namespace vollum
