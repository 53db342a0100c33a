#pragma once
// The data connection every transfer opens: a listening socket announced
// with PORT on the control channel, the accepted connection, the urgent ABOR
// that interrupts a running transfer, and the close.
#include <string>

#include "socket/TSockets.h"

namespace vollum {

class ControlChannel;
class Transcript;

class DataChannel {
public:
    DataChannel(ControlChannel& control, Transcript& transcript, UserPrompts& prompts);

    // Blocking calls with this time-out from now on.
    void Prepare(int timeoutSeconds);
    // Listens on a fresh port and announces it; the PORT reply's class.
    int OpenPort();
    // Waits for the server to connect; IsOpen() tells whether it did.
    void Accept();
    // "ABOR\r\n" as urgent data on the control connection, then one reply (its class).
    int SendAbort();
    // Closes what is open; closing a socket a failed Accept never opened
    // would raise an error box of its own.
    void Close();

    // Ends a socket wait in progress at once instead of at its deadline.
    void AbandonWait() {
        if (socket_.IsBlocking()) socket_.CancelBlockingCall();
    }
    bool Listening() const { return socket_.FListenSocket != -1; }
    bool IsOpen() const { return socket_.FSocket != -1; }
    std::string ListeningPort() const;
    // Bytes received (0 at the peer's close, -1 on failure).
    int Receive(char* buffer, int size);
    // Bytes the system took, at least one, waiting (timed) while it takes
    // none; negative on failure, reported through the error handler.
    int SendPart(const char* buffer, int size);
    // Half-closes and waits (bounded) until the peer has closed its side:
    // only then have all bytes arrived. False when not open or not in time.
    bool ShutdownAndDrain();

    // "PORT h1,h2,h3,h4,p1,p2" for a dotted IPv4 address and a port.
    static std::string PortCommand(const std::string& localAddress, int port);

private:
    ControlChannel& control_;
    Transcript& transcript_;
    TSockets socket_;
};

}  // namespace vollum
