#include "support/FakeFtpServer.h"
#include "support/PyFtpServer.h"
#include "support/SessionFixture.h"

namespace vollum::test {

class Smoke : public SessionFixture {};

TEST_F(Smoke, FakeGreetingAndLogin) {
    FakeFtpServer s;
    s.Reply("220-one")
        .Reply("220-two")
        .Reply("220 three")
        .Expect("USER")
        .Reply("331 pw")
        .Expect("PASS")
        .Reply("230 ok");
    s.Start();
    ASSERT_TRUE(ConnectTo(s.Port()));
    session->WaitGreeting();
    session->SendLogin("bob", "pw", "");
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    EXPECT_EQ(s.Commands(), (std::vector<std::string>{"USER bob", "PASS pw"}));
    EXPECT_EQ(PaneLines().size(), 7u) << LogText();
}

TEST_F(Smoke, RealServerLogin) {
    PyFtpServer server;
    ASSERT_TRUE(ConnectTo(server.Port()));
    session->WaitGreeting();
    session->SendLogin(server.User(), server.Password(), "");
    EXPECT_EQ(session->PaneReplyCode(), 230);
    EXPECT_EQ(session->FtpCommand("PWD"), 2);
    session->Quit();
    EXPECT_FALSE(session->Connected());
}

}  // namespace vollum::test
