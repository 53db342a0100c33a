// Active and passive data connections over IPv4 and IPv6 against a real
// server: a drop run of the built program and a retrieve, byte for byte.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "config/Fingerprint.h"
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

// {active, passive} x {plain, TLS} x {IPv4, IPv6}: the drop run trusts the
// test server's certificate by its pinned fingerprint, the retrieve by the
// test CA standing in for the system's trusted roots.
TEST_F(NetworkReach, DropAndRetrieveInEveryModeAndFamily) {
    struct Case {
        bool passive, tls;
        std::string host;
        std::string dataCommand;  // what announces the data connection
    };
    std::vector<Case> cases;
    for (const bool tls : {false, true}) {
        cases.push_back({false, tls, "127.0.0.1", "PORT 127,0,0,1,"});
        cases.push_back({true, tls, "127.0.0.1", "EPSV"});
        cases.push_back({false, tls, "::1", "EPRT |2|::1|"});
        cases.push_back({true, tls, "::1", "EPSV"});
    }
    const bool ipv6 = HasIPv6Loopback();
    for (const Case& c : cases) {
        if (c.host == "::1" && !ipv6) continue;
        SCOPED_TRACE(c.host + (c.passive ? " passive" : " active") + (c.tls ? " TLS" : " plain"));
        PyFtpServerOptions options;
        options.address = c.host;
        options.tls = c.tls;
        PyFtpServer server(options);
        TempDir src;
        const std::string bytes = RandomBytes(700000, c.passive ? 11 : 12);
        PutFile(src / "up.bin", bytes);

        VollumProgramDir program;
        program.WriteIni(server.Port(), server.User(), server.Password(), false,
                         {{"HostName", c.host},
                          {"PassiveMode", c.passive ? "1" : "0"},
                          {"UseTLS", c.tls ? "1" : "0"},
                          {"TLSFingerprint", server.Fingerprint()}});
        const VollumResult r = program.Run({src / "up.bin"});
        ASSERT_EQ(r.exitCode, 0) << r.stderrText << program.LogText();
        EXPECT_TRUE(ReadFile(server.Root() + "/up.bin") == bytes);

        if (c.tls) ::setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
        session = std::make_unique<TFtpSession>(prompts);
        session->Settings.ProgramDir = dir.Path() + "/";  // its log, not the working directory's
        session->Settings.ConnectionTimeOut = 5;
        session->Settings.FtpTimeOut = 5;
        session->Settings.PassiveMode = c.passive;
        session->Settings.UseTLS = c.tls;
        session->ApplySettings();
        ASSERT_TRUE(ConnectTo(server.Port(), c.host));
        EXPECT_TRUE(session->WaitGreeting(false));
        ::unsetenv("SSL_CERT_FILE");
        session->SendLogin(server.User(), server.Password(), "");
        session->ReceiveData("up.bin", src / "down.bin", "TYPE I");
        EXPECT_TRUE(ReadFile(src / "down.bin") == bytes);
        const auto pane = PaneLines();
        auto shown = [&](const std::string& text) {
            return std::any_of(pane.begin(), pane.end(),
                               [&](const std::string& l) { return l.find(text) != std::string::npos; });
        };
        EXPECT_TRUE(shown(c.dataCommand));
        EXPECT_EQ(shown("PROT P"), c.tls);
        EXPECT_EQ(shown("Certificate verified for " + c.host), c.tls);
        session->Quit();
    }
    if (!ipv6) GTEST_SKIP() << "no IPv6 loopback here: only the IPv4 cases ran";
}

// Whatever keeps the session from being protected ends it before USER, and an
// unattended run keeps every file.
TEST_F(NetworkReach, TlsRefusedOrUntrustedEndsBeforeLogin) {
    struct Case {
        const char* what;
        bool serverTls;
        std::string pin;
        const char* expected;  // in VOLLUM.LOG
        const char* asked;     // the first line of the question at a window; nullptr: none
    };
    PyFtpServerOptions tlsOptions;
    tlsOptions.tls = true;
    PyFtpServer tlsServer(tlsOptions);
    PyFtpServer plainServer;
    const std::string otherPin(64, 'a');
    const Case cases[] = {
        {"AUTH TLS refused", false, "", "refused AUTH TLS", nullptr},
        {"unknown certificate", true, "", "could not be verified (unable to get local issuer certificate)",
         "The certificate of 127.0.0.1 could not be verified"},
        {"another certificate pinned", true, otherPin, "it is not the certificate pinned in the profile",
         "The certificate of 127.0.0.1 has CHANGED since you trusted it\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PyFtpServer& server = c.serverTls ? tlsServer : plainServer;
        VollumProgramDir program;
        PutFile(program.Spool() + "/f.bin", "data");
        program.WriteIni(server.Port(), server.User(), server.Password(), true,
                         {{"UseTLS", "1"}, {"TLSFingerprint", c.pin}});
        const VollumResult r = program.Run();
        EXPECT_EQ(r.exitCode, 3) << r.stderrText;
        EXPECT_EQ(ReadFile(program.Spool() + "/f.bin"), "data");
        EXPECT_FALSE(std::filesystem::exists(server.Root() + "/f.bin"));
        EXPECT_NE(program.LogText().find(c.expected), std::string::npos) << program.LogText();

        // At a window the user is asked about the certificate and says No.
        prompts.answers = {PromptAnswer::No};
        session->Settings.UseTLS = true;
        session->Settings.TLSFingerprint = c.pin;
        ASSERT_TRUE(ConnectTo(server.Port()));
        EXPECT_FALSE(session->WaitGreeting());
        EXPECT_FALSE(session->Connected());  // so no USER can follow
        if (c.asked == nullptr) continue;
        // A new certificate and a changed one show the same details; only the
        // changed one answers No to Enter, and it shows the pin it replaces too.
        const ScriptedPrompts::Shown& q = prompts.shown.back();
        EXPECT_EQ(q.text.rfind(c.asked, 0), 0u) << q.text;
        for (const std::string& part : {std::string("\r\nSubject: CN=localhost\r\n"),
                                        std::string("\r\nIssuer: CN=Vollum test CA\r\n"),
                                        std::string("\r\nValid from 20"), std::string(" UTC until 20"),
                                        FingerprintText(*NormalizedFingerprint(server.Fingerprint()))})
            EXPECT_NE(q.text.find(part), std::string::npos) << part << " in " << q.text;
        EXPECT_EQ(q.buttons, c.pin.empty() ? PromptButtons::YesNo : PromptButtons::YesNoDefaultNo);
        if (!c.pin.empty()) {
            EXPECT_NE(q.text.find(FingerprintText(c.pin)), std::string::npos);
        }
    }

    // Yes pins the certificate in the (saved) profile; the next connection asks nothing.
    WriteFile(dir / "VOLLUM.INI", "[test]\r\nHostName=127.0.0.1\r\n");
    session->Settings.ProfileName = "test";
    session->Settings.TLSFingerprint.clear();
    prompts.answers = {PromptAnswer::Yes};
    for (int connection = 0; connection < 2; ++connection) {
        ASSERT_TRUE(ConnectTo(tlsServer.Port()));
        EXPECT_TRUE(session->WaitGreeting());
        session->Quit();
    }
    EXPECT_EQ(prompts.answers.size(), 0u);
    EXPECT_EQ(prompts.shown.size(), 3u + 1);  // the three cases above, then one question
    EXPECT_EQ(session->Settings.TLSFingerprint, tlsServer.Fingerprint());
    EXPECT_NE(ReadFile(dir / "VOLLUM.INI").find("TLSFingerprint=" + tlsServer.Fingerprint()), std::string::npos);
}

}  // namespace
}  // namespace vollum::test
