// Active and passive data connections over IPv4 and IPv6 against a real
// server: a drop run of the built program and a retrieve, byte for byte.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "support/PyFtpServer.h"
#include "support/SessionFixture.h"
#include "support/VollumRun.h"

namespace vollum::test {
namespace {

bool HasIPv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

class NetworkReach : public SessionFixture {};

TEST_F(NetworkReach, DropAndRetrieveInEveryModeAndFamily) {
    struct Case {
        bool passive;
        std::string host;
        std::string dataCommand;  // what announces the data connection
    };
    const Case cases[] = {
        {false, "127.0.0.1", "PORT 127,0,0,1,"},
        {true, "127.0.0.1", "EPSV"},
        {false, "::1", "EPRT |2|::1|"},
        {true, "::1", "EPSV"},
    };
    const bool ipv6 = HasIPv6Loopback();
    for (const Case& c : cases) {
        if (c.host == "::1" && !ipv6) continue;
        SCOPED_TRACE(c.host + (c.passive ? " passive" : " active"));
        PyFtpServer server("user", "secret", c.host);
        TempDir src;
        const std::string bytes = RandomBytes(700000, c.passive ? 11 : 12);
        PutFile(src / "up.bin", bytes);

        VollumProgramDir program;
        program.WriteIni(server.Port(), server.User(), server.Password(), false,
                         {{"HostName", c.host}, {"PassiveMode", c.passive ? "1" : "0"}});
        const VollumResult r = program.Run({src / "up.bin"});
        ASSERT_EQ(r.exitCode, 0) << r.stderrText;
        EXPECT_TRUE(ReadFile(server.Root() + "/up.bin") == bytes);

        session = std::make_unique<TFtpSession>(prompts);
        session->Settings.ConnectionTimeOut = 5;
        session->Settings.FtpTimeOut = 5;
        session->Settings.PassiveMode = c.passive;
        session->ApplySettings();
        ASSERT_TRUE(ConnectTo(server.Port(), c.host));
        session->WaitGreeting();
        session->SendLogin(server.User(), server.Password(), "");
        session->ReceiveData("up.bin", src / "down.bin", "TYPE I");
        EXPECT_TRUE(ReadFile(src / "down.bin") == bytes);
        const auto pane = PaneLines();
        EXPECT_TRUE(std::any_of(pane.begin(), pane.end(),
                                [&](const std::string& l) { return l.find(c.dataCommand) != std::string::npos; }));
        session->Quit();
    }
    if (!ipv6) GTEST_SKIP() << "no IPv6 loopback here: only the IPv4 cases ran";
}

}  // namespace
}  // namespace vollum::test
