// Passive mode against the fake server: the EPSV-to-PASV fallback and a PASV
// reply that names another host (the replies' parser: ReplyNumbersTest).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>

#include "TransferTestSupport.h"
#include "support/VollumRun.h"

namespace vollum::test {
namespace {

// Listens on loopback, answers the passive command with reply(port), then
// serves `bytes` to the first connection once RETR has come.
FakeFtpServer::Step ServePassive(std::function<std::string(int)> reply, std::string bytes) {
    return [reply, bytes](FakeFtpServer::Context& c) {
        const int lfd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(lfd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(lfd, 1) != 0) c.Fail("listen");
        ::getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
        c.Write(reply(ntohs(a.sin_port)) + "\r\n");
        pollfd p{lfd, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1) c.Fail("no data connection");
        const int fd = ::accept(lfd, nullptr, nullptr);
        ::close(lfd);
        if (c.ReadLine().compare(0, 4, "RETR") != 0) c.Fail("expected RETR");
        c.Write("150 here\r\n");
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::close(fd);
        c.Write("226 done\r\n");
    };
}

class PassiveMode : public SessionFixture {};

TEST_F(PassiveMode, EpsvOrPasvAlwaysReachTheControlPeer) {
    struct Case {
        std::string epsvRefusal;  // empty: EPSV accepted
        std::string pasvHost;     // the address a PASV reply names
    };
    const Case cases[] = {{"", ""}, {"500 unknown command", "10,9,8,7"}, {"502 not implemented", "127,0,0,1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.epsvRefusal + " " + c.pasvHost);
        const std::string bytes = RandomBytes(5000, 4);
        FakeFtpServer server;
        server.Reply("220 hi").Expect("TYPE I").Reply("200 ok").Expect("EPSV");
        if (c.epsvRefusal.empty()) {
            server.Do(ServePassive([](int port) { return "229 ok (|||" + std::to_string(port) + "|)"; }, bytes));
        } else {
            const std::string host = c.pasvHost;
            server.Reply(c.epsvRefusal).Expect("PASV");
            server.Do(ServePassive(
                [host](int port) {
                    return "227 Entering Passive Mode (" + host + "," + std::to_string(port / 256) + "," +
                           std::to_string(port % 256) + ").";
                },
                bytes));
        }
        session->Settings.PassiveMode = true;
        Open(server);
        session->ReceiveData("f", dir.Path() + "/down", "TYPE I");
        server.Finish();
        EXPECT_FALSE(server.Failed()) << server.Failure();
        EXPECT_TRUE(ReadFile(dir.Path() + "/down") == bytes);
        session->Control().Disconnect();
    }
}

TEST_F(PassiveMode, AFailedDataConnectAbortsTheStore) {
    // STOR goes out while the connect travels; a refused connect is answered
    // with ABOR at once, and the next command still gets its own reply.
    auto abor = std::make_shared<Collected>();
    FakeFtpServer server;
    server.Reply("220 hi").Expect("TYPE I").Reply("200 ok").Expect("EPSV");
    server.Reply("229 ok (|||" + std::to_string(UnusedPort()) + "|)").Expect("STOR up");
    server.Do(ReadUrgentAbort(abor)).Reply("225 ABOR ok").Expect("NOOP").Reply("200 ok");
    session->Settings.PassiveMode = true;
    Open(server);
    WriteFile(dir.Path() + "/up", "data");
    EXPECT_FALSE(session->StoreFile("TYPE I", dir.Path() + "/up", "up"));
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);
    server.Finish();
    EXPECT_FALSE(server.Failed()) << server.Failure();
    EXPECT_EQ(abor->Get(), "ABOR\r\n");
    EXPECT_EQ(session->Control().LastReply(), "200 ok\r\n");
}

}  // namespace
}  // namespace vollum::test
