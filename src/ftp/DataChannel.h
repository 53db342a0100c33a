#pragma once
// The data connection every transfer opens: in active mode a listening
// socket announced with PORT (EPRT on IPv6) and the accepted connection; in
// passive mode a connection to the port EPSV (or PASV) names. Also the urgent
// ABOR that interrupts a running transfer, and the close.
#include <string>

#include "config/StartupValues.h"
#include "socket/TSockets.h"

namespace vollum {

class ControlChannel;
class Transcript;

class DataChannel {
public:
    // PassiveMode is read from settings at every OpenPort.
    DataChannel(ControlChannel& control, Transcript& transcript, UserPrompts& prompts, const StartupValues& settings);

    // Blocking calls with this time-out from now on.
    void Prepare(int timeoutSeconds);
    // Active: listens on a fresh port of the control connection's local
    // address and announces it; the PORT/EPRT reply's class. Passive: asks for
    // the server's port and begins the connect to it (Accept completes it);
    // the EPSV/PASV reply's class, 5 when no usable port came. 5 without a
    // word to the server on a TLS session before PROT P was accepted.
    int OpenPort();
    // Just before the command that uses the data connection: in passive mode
    // the connect is completed while that command travels, and a failed one
    // is answered with ABOR before the command's reply is awaited.
    void BeforeTransferCommand();
    // Active: waits for the server to connect, refusing (and logging) any
    // other peer unless DataFromAnyAddress. Passive: waits for the connect
    // begun in OpenPort. Then, when protected, the TLS handshake (both
    // modes). IsOpen() tells whether a usable data connection stands.
    void Accept();
    // Data connections are protected with TLS (after PROT P was accepted).
    void Protect(bool on) { protect_ = on; }
    bool Protecting() const { return protect_; }
    // "ABOR\r\n" as urgent data on the control connection, then one reply (its class).
    int SendAbort();
    // Stops the running transfer at once: the data connection closes first,
    // so a server blocked sending or receiving fails now and goes back to its
    // commands (one that reads no urgent data meanwhile would otherwise never
    // see the ABOR); then ABOR, and the two replies due (the transfer
    // command's and ABOR's) are read for a short while, the rest before the
    // next command.
    void AbortTransfer();
    static constexpr int kAbortRepliesMs = 600;
    // Closes what is open; closing a socket a failed Accept never opened
    // would raise an error box of its own.
    void Close();

    // Ends a socket wait in progress at once instead of at its deadline.
    void AbandonWait() {
        if (!socket_.IsBlocking()) return;
        abandoned_ = true;
        socket_.CancelBlockingCall();
    }
    bool Listening() const { return socket_.FListenSocket != -1; }
    bool IsOpen() const { return socket_.FSocket != -1; }
    bool Passive() const { return settings_.PassiveMode; }
    std::string ListeningPort() const;
    std::string ListeningAddress() const;
    // Bytes received (0 at the peer's close, -1 on failure).
    int Receive(char* buffer, int size);
    // Bytes the system took, at least one, waiting (timed) while it takes
    // none; negative on failure, reported through the error handler.
    int SendPart(const char* buffer, int size);
    // Half-closes and waits (bounded) until the peer has closed its side:
    // only then have all bytes arrived. False when not open or not in time.
    bool ShutdownAndDrain();

    // The protected connection that was receiving ended without the server's
    // close_notify: what came may have been cut short by anyone on the path.
    bool EndedWithoutClose() const { return socket_.TlsCut(); }

    // "PORT h1,h2,h3,h4,p1,p2" for a dotted IPv4 address and a port.
    static std::string PortCommand(const std::string& localAddress, int port);
    // "EPRT |2|address|port|" for an IPv6 address.
    static std::string EprtCommand(const std::string& localAddress, int port);

private:
    int OpenPassive();
    bool FinishConnect();
    // TLS on the new data connection, resuming the control connection's
    // session and holding the same certificate; closes it when that fails.
    void SecureConnection();

    ControlChannel& control_;
    Transcript& transcript_;
    const StartupValues& settings_;
    TSockets socket_;
    bool protect_ = false;
    bool abandoned_ = false;  // this transfer's wait was ended by AbandonWait
};

}  // namespace vollum
