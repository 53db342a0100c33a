#include <cstdio>

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

// The TLS test server is what the TLS tests trust: it must refuse a plain
// login, and its fingerprint file and CA must belong to the certificate it
// serves, for every address the certificate names.
TEST_F(Smoke, TlsServerRefusesPlainLoginAndServesItsCertificate) {
    for (const std::string host : {"127.0.0.1", "::1"}) {
        SCOPED_TRACE(host);
        PyFtpServer server(PyFtpServerOptions{.address = host, .tls = true});
        ASSERT_TRUE(ConnectTo(server.Port(), host));
        session->WaitGreeting();
        session->SendLogin(server.User(), server.Password(), "");
        EXPECT_EQ(session->PaneReplyCode(), 550);
        session->Quit();

        const std::string target = host.find(':') == std::string::npos ? host : "[" + host + "]";
        const std::string command = "timeout 20 openssl s_client -starttls ftp -connect " + target + ":" +
                                    server.PortText() + " -CAfile " + server.CaFile() +
                                    " -verify_return_error -verify_ip " + host +
                                    " </dev/null 2>/dev/null | openssl x509 -noout -fingerprint -sha256";
        std::string printed;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, pipe)) printed += buf;
            ::pclose(pipe);
        }
        EXPECT_EQ(printed, "sha256 Fingerprint=" + server.Fingerprint() + "\n");
    }
}

}  // namespace vollum::test
