#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "common/Errors.h"
#include "socket/ErrorTable.h"
#include "socket/TSockets.h"
#include "support/EventHelpers.h"
#include "support/FakeFtpServer.h"
#include "support/SessionFixture.h"

namespace vollum::test {
namespace {

// The far end of a connection, driven by hand from the test (the kernel
// buffers both ways, so no thread is needed).
class LoopbackPeer {
public:
    LoopbackPeer() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listen_, 4);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = std::to_string(ntohs(a.sin_port));
    }
    ~LoopbackPeer() {
        if (conn_ >= 0) ::close(conn_);
        ::close(listen_);
    }
    const std::string& PortText() const { return port_; }
    bool AcceptClient() {
        pollfd p{listen_, POLLIN, 0};
        return ::poll(&p, 1, 2000) > 0 && (conn_ = ::accept(listen_, nullptr, nullptr)) >= 0;
    }
    void Write(const std::string& bytes) { ::send(conn_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    std::string Read() {
        char buf[256];
        pollfd p{conn_, POLLIN, 0};
        const ssize_t n = ::poll(&p, 1, 2000) > 0 ? ::recv(conn_, buf, sizeof buf, 0) : 0;
        return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
    }
    void Close(bool abortive) {
        linger lg{1, 0};
        if (abortive) ::setsockopt(conn_, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
        ::close(conn_);
        conn_ = -1;
    }

private:
    int listen_ = -1, conn_ = -1;
    std::string port_;
};

std::string ClosedPortText() { return LoopbackPeer().PortText(); }

TEST(ErrorTable, textsAndSystemErrorMapping) {
    EXPECT_EQ(WinSockErrorText(10004), "Interrupted system call");
    EXPECT_EQ(WinSockErrorText(10059), "Too many references: can't splice");
    EXPECT_EQ(WinSockErrorText(10060), "Connection timed out");
    EXPECT_EQ(WinSockErrorText(11004), "No Data");
    for (int code : {0, 10010, 10072, 11005}) EXPECT_EQ(WinSockErrorText(code), "Not a WinSock error") << code;
    EXPECT_EQ(WinSockCodeFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WinSockCodeFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WinSockCodeFromErrno(ENOTSOCK), 10038);
    EXPECT_EQ(WinSockCodeFromErrno(EBADF), 10038);
    EXPECT_EQ(WinSockCodeFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(WinSockErrorText(WinSockCodeFromErrno(ENOENT)), "Not a WinSock error");
}

class Sockets : public ::testing::Test {
protected:
    Sockets() {
        sock.SetPrompts(&prompts);
        sock.SetNonBlocking(false);
        sock.Timeout = 1;
        Record(sock);
    }
    void Record(TSockets& s) {
        s.OnErrorOccurred = [this](TSockets* sender, int socket, int error, const std::string& msg) {
            const int shown = socket >= 0 && socket == sender->FSocket ? 0 : socket;
            reports.push_back(std::to_string(shown) + " " + std::to_string(error) + " " + msg);
        };
    }
    void ConnectToPeer() {
        sock.IPAddr = "127.0.0.1";
        sock.Port = peer.PortText();
        sock.SConnect();
        ASSERT_GE(sock.FSocket, 0);
        ASSERT_TRUE(peer.AcceptClient());
    }
    // Runs an operation that must end the program; returns the exit code.
    int ExitCodeOf(const std::function<void()>& operation) {
        try {
            operation();
        } catch (const ProgramEnded& e) {
            return e.exitCode;
        }
        return -1;
    }

    ScriptedPrompts prompts;
    TSockets sock;
    std::vector<std::string> reports;  // "socket error msg", socket 0 = FSocket
    LoopbackPeer peer;
    CatchTermination catchTermination;
};

TEST_F(Sockets, portIsAServiceNameOrANumberAndBadAddressesOnlyShowBoxes) {
    EXPECT_EQ(PortFromText("ftp", false), 21);
    EXPECT_EQ(PortFromText("2121", false), 2121);
    EXPECT_EQ(PortFromText("0", true), 0);
    // Out of range is refused, never cut to some other port.
    for (const char* bad : {"107657", "-1", "65536", "0"}) EXPECT_THROW(PortFromText(bad, false), EConvertError) << bad;
    sock.IPAddr = "127.0.0.1";
    sock.Port = "no-such-service";
    EXPECT_THROW(sock.SConnect(), EConvertError);

    sock.Port = "";
    sock.SConnect();
    sock.Port = "21";
    sock.IPAddr = "";
    sock.SConnect();
    sock.IPAddr = "no-such-host.invalid";
    sock.SConnect();
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"No Port Specified", "No IP Address Specified",
                                                         "Cannot convert host address"}));
    for (const auto& shown : prompts.shown) EXPECT_EQ(shown.title, "WINSOCK ERROR");
    EXPECT_EQ(sock.FSocket, -1);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Sockets, peekLeavesBytesQueuedStopsAtNulAndSeesAClose) {
    EXPECT_EQ(sock.PeekData(), "");  // no socket: no call, no report
    ConnectToPeer();
    EXPECT_EQ(sock.GetRemotePort(sock.FSocket), peer.PortText());
    EXPECT_EQ(sock.GetLocalIPAddr(sock.FSocket), "127.0.0.1");
    sock.SetText("USER bob\r\n");
    EXPECT_EQ(peer.Read(), "USER bob\r\n");

    peer.Write(std::string("abc\0def", 7));
    EXPECT_EQ(sock.PeekData(), "abc");
    char buffer[16];
    int size = sizeof buffer;
    EXPECT_EQ(sock.SReceive(sock.FSocket, buffer, size), 7);
    EXPECT_EQ(std::string(buffer, 7), std::string("abc\0def", 7));
    peer.Close(false);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(sock.PeekData(), "");
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Sockets, timedOutPeekReportsTimeoutThenInterruptedWithoutBurningCpu) {
    ConnectToPeer();
    const long cpuBefore = CpuMillis();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(sock.PeekData(), "");
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_LT(CpuMillis() - cpuBefore, 200) << "CPU ms during a 1 s silent wait";
    EXPECT_EQ(reports,
              (std::vector<std::string>{"0 10060 Blocking call timed out", "0 10004 Interrupted system call"}));
}

TEST_F(Sockets, timeoutWithoutHandlerShowsCanceledBoxThenEndsWithErrorBox) {
    ConnectToPeer();
    sock.OnErrorOccurred = nullptr;
    EXPECT_EQ(ExitCodeOf([this] { sock.PeekData(); }), 0);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, "Error 10060\r\nBlocking call timed out");
    EXPECT_EQ(prompts.shown[0].title, "WINSOCK CALL CANCELED");
    EXPECT_EQ(prompts.shown[0].buttons, PromptButtons::OkCancel);
    EXPECT_EQ(prompts.shown[1].text, "Error 10004 in function PeekData (Peek)\r\nInterrupted system call");
    EXPECT_EQ(prompts.shown[1].title, "WINSOCK ERROR");
}

TEST_F(Sockets, zeroTimeoutArmsNoTimerAndAHandlerCanAbandonTheWait) {
    ConnectToPeer();
    sock.Timeout = 0;
    QTimer::singleShot(300, [this] { sock.CancelBlockingCall(); });
    EXPECT_EQ(sock.PeekData(), "");
    EXPECT_EQ(reports, std::vector<std::string>{"0 10004 Interrupted system call"});
}

TEST_F(Sockets, hugeTimeoutAgainstASilentPeerWaitsInsteadOfWrapping) {
    ConnectToPeer();
    sock.Timeout = 4294968;  // seconds; in milliseconds past 32 bits
    QTimer::singleShot(1200, [this] { sock.CancelBlockingCall(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(sock.PeekData(), "");
    EXPECT_GE(clock.elapsed(), 1100);
    EXPECT_EQ(reports, std::vector<std::string>{"0 10004 Interrupted system call"});
}

TEST_F(Sockets, disconnectFromAHandlerEndsEveryWaitOnTheComponent) {
    ConnectToPeer();
    sock.Timeout = 3;
    int inner = 0;
    QTimer::singleShot(100, [this, &inner] {
        char buffer[8];
        int size = sizeof buffer;
        inner = sock.SReceive(sock.FSocket, buffer, size);  // a second wait inside the first
    });
    QTimer::singleShot(200, [this] { sock.Disconnect(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(sock.PeekData(), "");
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(inner, -1);
    EXPECT_EQ(sock.FSocket, -1);
    EXPECT_EQ(reports, std::vector<std::string>{"-1 10004 Interrupted system call"});
}

TEST_F(Sockets, refusedAndResetConnectionsReportTheirCodes) {
    sock.IPAddr = "127.0.0.1";
    sock.Port = ClosedPortText();
    sock.SConnect();
    sock.Disconnect();  // the failed socket stays until the caller closes it
    ConnectToPeer();
    peer.Close(true);
    sock.PeekData();
    EXPECT_EQ(reports, (std::vector<std::string>{"0 10061 Connection refused", "0 10054 Connection reset by peer"}));

    sock.Disconnect();
    sock.OnErrorOccurred = nullptr;
    sock.Port = ClosedPortText();
    EXPECT_EQ(ExitCodeOf([this] { sock.SConnect(); }), 0);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Error 10061 in function SConnect\r\nConnection refused"});
}

TEST_F(Sockets, operationsWithoutSocketReportNotASocketUnderTheirLabels) {
    sock.Disconnect();
    sock.SetText("NOOP\r\n");
    char buffer[4];
    int size = 4;
    EXPECT_EQ(sock.SReceive(-1, buffer, size), -1);  // neither of these reports
    EXPECT_EQ(sock.SSend(-1, buffer, size), 4);
    EXPECT_EQ(sock.Accept(), -1);
    EXPECT_EQ(reports, (std::vector<std::string>{"-1 10038 Socket operation on non-socket",
                                                 "-1 10038 Socket operation on non-socket",
                                                 "-1 10038 Socket operation on non-socket"}));
    sock.OnErrorOccurred = nullptr;
    EXPECT_EQ(ExitCodeOf([this] { sock.Disconnect(); }), 0);
    EXPECT_EQ(ExitCodeOf([this] { sock.SendUrgent("ABOR\r\n"); }), 0);
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{
                                   "Error 10038 in function Disconnect (closesocket)\r\nSocket operation on non-socket",
                                   "Error 10038 in function SetText (Send)\r\nSocket operation on non-socket"}));
    EXPECT_EQ(sock.FSocket, -1);
}

TEST_F(Sockets, sendUrgentDeliversOutOfBandData) {
    FakeFtpServer server;
    server.ExpectUrgentAbort();
    server.Start();
    sock.IPAddr = "127.0.0.1";
    sock.Port = server.PortText();
    sock.SConnect();
    sock.SendUrgent("ABOR\r\n");
    EXPECT_TRUE(RunEventsUntil([&] { return !server.Commands().empty(); }));
    server.Finish();
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(server.Commands(), std::vector<std::string>{"ABOR (urgent)"});
}

// Asynchronous mode ---------------------------------------------------------

TEST_F(Sockets, notificationsRaiseTheirEventsAndErrorsGoToTheReport) {
    std::string raised;
    sock.OnDataAvailable = [&raised](TSockets*, int s) { raised += "read" + std::to_string(s) + " "; };
    sock.OnDataNeeded = [&raised](TSockets*, int) { raised += "write "; };
    sock.OnSessionAvailable = [&raised](TSockets*, int) { raised += "accept "; };
    sock.OnSessionConnected = [&raised](TSockets*, int) { raised += "connect "; };
    sock.OnSessionClosed = [&raised](TSockets*, int) { raised += "close "; };
    for (int event : {1, 2, 8, 16, 32, 4}) sock.DispatchNotification(7, event, 0);
    sock.DispatchNotification(7, 16, 10061);
    EXPECT_EQ(raised, "read7 write accept connect close ");
    EXPECT_EQ(reports, std::vector<std::string>{"7 10061 Connection refused"});

    sock.OnErrorOccurred = nullptr;
    EXPECT_EQ(ExitCodeOf([this] { sock.DispatchNotification(7, 16, 10061); }), 0);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Error 10061 in function FD_CONNECT\r\nConnection refused"});
}

TEST_F(Sockets, asyncConnectRaisesSessionConnectedOnlyWhenItSucceeds) {
    TSockets async;
    Record(async);
    int connected = 0;
    async.OnSessionConnected = [&connected](TSockets*, int) { ++connected; };
    async.IPAddr = "127.0.0.1";
    async.Port = peer.PortText();
    async.SConnect();
    EXPECT_TRUE(RunEventsUntil([&] { return connected == 1; }));

    async.Disconnect();
    async.Port = ClosedPortText();
    async.SConnect();
    EXPECT_TRUE(RunEventsUntil([&] { return !reports.empty(); }));
    RunEventsUntil([] { return false; }, 100);
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(reports, std::vector<std::string>{"0 10061 Connection refused"});
}

TEST_F(Sockets, asyncReadIsRaisedAgainOnlyAfterAReceive) {
    TSockets async;
    int reads = 0;
    async.OnDataAvailable = [&reads](TSockets*, int) { ++reads; };
    async.IPAddr = "127.0.0.1";
    async.Port = peer.PortText();
    async.SConnect();
    ASSERT_TRUE(peer.AcceptClient());
    peer.Write("220 hello\r\n");
    RunEventsUntil([] { return false; }, 200);
    EXPECT_EQ(reads, 1) << "a handler that leaves the data queued is called over and over";
    char buffer[64];
    int size = sizeof buffer;
    EXPECT_EQ(async.SReceive(async.FSocket, buffer, size), 11);
    peer.Write("200 more\r\n");
    EXPECT_TRUE(RunEventsUntil([&] { return reads == 2; }));
}

}  // namespace
}  // namespace vollum::test
