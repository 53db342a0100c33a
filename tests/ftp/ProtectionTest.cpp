// What the protection promises, end to end against pyftpdlib: a download cut
// short by someone on the path, a data connection from another host in
// active mode, PROT P after any login on a TLS connection, and passwords kept
// out of pane and log.
#include <sys/stat.h>

#include <filesystem>

#include "TransferTestSupport.h"
#include "common/Convert.h"
#include "support/CuttingRelay.h"
#include "support/DataIntruder.h"
#include "support/PyFtpServer.h"

namespace vollum::test {
namespace {

const std::string kCutShort = " bytes: the data connection was cut short\r";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class Protection : public SessionFixture {
protected:
    void LogIn(const PyFtpServer& server, const std::string& host, int port) {
        session->Settings.UseTLS = !server.Fingerprint().empty();
        session->Settings.TLSFingerprint = server.Fingerprint();
        ASSERT_TRUE(ConnectTo(port, host));
        ASSERT_TRUE(session->WaitGreeting(false));
        session->SendLogin(server.User(), server.Password(), "");
    }
    static PyFtpServerOptions Tls(int passivePort = 0) {
        PyFtpServerOptions options;
        options.tls = true;
        if (passivePort > 0) options.environment["PASSIVE_PORT"] = std::to_string(passivePort);
        return options;
    }
    TempDir files;
};

TEST_F(Protection, aTlsDownloadEndedWithoutTheServersCloseNeverReplacesTheTarget) {
    struct Case {
        size_t cutAfter;  // bytes from the server before the relay's bare FIN; 0: none
        bool whole;
    };
    const std::string bytes = RandomBytes(1u << 20, 5);
    for (const Case c : {Case{0, true}, Case{200000, false}}) {
        CuttingRelay relay;
        PyFtpServer server(Tls(relay.DataPort()));
        relay.Start(server.Port(), c.cutAfter);
        WriteFile(server.Root() + "/f", bytes);
        WriteFile(files / "f", "good local copy");
        WriteFile(files / "up", "stored through the relay");
        session->Settings.PassiveMode = true;
        LogIn(server, relay.Address(), server.Port());
        ASSERT_TRUE(session->Data().Protecting());

        session->ReceiveData("f", files / "f", "TYPE I");
        const Lines pane = PaneLines();
        const bool saidCut = std::any_of(pane.begin(), pane.end(), [](const std::string& l) {
            return l.compare(0, 9, "Received ") == 0 && EndsWith(l, kCutShort);
        });
        EXPECT_EQ(saidCut, !c.whole) << c.cutAfter;
        EXPECT_EQ(Contains(LogText(), "the data connection was cut short"), !c.whole);
        EXPECT_EQ(ReadFile(files / "f") == bytes, c.whole) << c.cutAfter;
        if (!c.whole) {
            EXPECT_EQ(ReadFile(files / "f"), "good local copy");
        }
        EXPECT_EQ(relay.Cuts(), c.whole ? 0 : 1);
        // A store's data connection may end without close_notify: the server's reply decides.
        EXPECT_TRUE(session->StoreFile("TYPE I", files / "up", "up"));
        EXPECT_EQ(ReadFile(server.Root() + "/up"), "stored through the relay");
        session->Quit();
        std::filesystem::remove(files / "up");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 1);
    }
}

TEST_F(Protection, activeModeTakesTheDataConnectionOnlyFromTheServer) {
    struct Case {
        bool fromAnyAddress;
        bool refused;
    };
    PyFtpServer server;
    WriteFile(server.Root() + "/f", "GENUINE CONTENT");
    LogIn(server, "127.0.0.1", server.Port());
    for (const Case c : {Case{false, true}, Case{true, false}}) {
        session->Settings.DataFromAnyAddress = c.fromAnyAddress;
        WriteFile(files / "f", "old");
        DataIntruder intruder;
        std::string listening;
        // Just before PORT goes out, so the intruder is first in the queue.
        session->Control().OnCursor = [&](bool busy) {
            if (!busy || !listening.empty() || !session->Data().Listening()) return;
            listening = session->Data().ListeningAddress();
            const int port = StrToInt(session->Data().ListeningPort());
            EXPECT_TRUE(intruder.Connect("127.0.0.2", "127.0.0.1", port, "FORGED CONTENT"));
        };
        const size_t before = PaneLines().size();
        const size_t logBefore = LogText().size();
        session->ReceiveData("f", files / "f", "TYPE I");
        session->Control().OnCursor = nullptr;
        EXPECT_EQ(listening, "127.0.0.1");
        const std::string refusal = "Refused a data connection from 127.0.0.2: not the server";
        EXPECT_EQ(Contains(PaneFrom(before), refusal + "\r"), c.refused);
        EXPECT_EQ(Contains(LogText().substr(logBefore), refusal), c.refused);
        if (c.refused) {
            EXPECT_EQ(ReadFile(files / "f"), "GENUINE CONTENT");
            EXPECT_TRUE(intruder.ClosedByPeer());
        } else {
            EXPECT_NE(ReadFile(files / "f"), "GENUINE CONTENT");  // the intruder's, or the old one
        }
        EXPECT_EQ(session->FtpCommand("NOOP"), 2);
    }
}

TEST_F(Protection, everyLoginOnATlsConnectionIsFollowedByProtPBeforeAnyData) {
    struct Case {
        std::string name;
        bool loginFirst;  // a full login and a retrieve first, then the login again through Quote
    };
    PyFtpServer server(Tls());
    WriteFile(server.Root() + "/f", "protected");
    for (const Case& c : {Case{"quote login", false}, Case{"quote re-login", true}}) {
        session->Settings.UseTLS = true;
        session->Settings.TLSFingerprint = server.Fingerprint();
        ASSERT_TRUE(ConnectTo(server.Port()));
        ASSERT_TRUE(session->WaitGreeting(false));
        if (c.loginFirst) {
            session->SendLogin(server.User(), server.Password(), "");
            session->ReceiveData("f", files / "f", "TYPE I");
            std::filesystem::remove(files / "f");
        }
        EXPECT_EQ(session->FtpCommand("user %s", {server.User()}), 3) << c.name;
        EXPECT_FALSE(session->Data().Protecting()) << c.name;
        if (c.loginFirst) {
            // The server still takes TYPE (its answer is known): the client holds back.
            session->ReceiveData("f", files / "f", "TYPE I");
            EXPECT_EQ(PaneLines().back(), "No data connection: PROT P was not accepted on this TLS session\r");
            EXPECT_FALSE(std::filesystem::exists(files / "f"));
        }
        const size_t before = PaneLines().size();
        EXPECT_EQ(session->FtpCommand("pass %s", {server.Password()}), 2) << c.name;
        const Lines after = PaneFrom(before);
        EXPECT_EQ(after.front(), "pass xxxxxx\r");
        EXPECT_TRUE(Contains(after, "PBSZ 0\r") && Contains(after, "PROT P\r")) << c.name;
        EXPECT_TRUE(session->Data().Protecting()) << c.name;
        session->ReceiveData("f", files / "f", "TYPE I");
        EXPECT_EQ(ReadFile(files / "f"), "protected") << c.name;
        std::filesystem::remove(files / "f");
        session->Quit();
    }
    EXPECT_FALSE(Contains(LogText(), server.Password()));
}

TEST_F(Protection, passwordsAreMaskedInAnyCaseAndTheLogIsTheOwnersAlone) {
    const std::pair<std::string, std::string> cases[] = {
        {"PASS secret", "PASS xxxxxx"},
        {"pass secret", "pass xxxxxx"},
        {"  Acct 42 x", "Acct xxxxxx"},
        {"aCcT x", "aCcT xxxxxx"},
        {"PASS ", "PASS "},
        {"PASSWORD secret", "PASSWORD secret"},
        {"USER pass", "USER pass"},
    };
    for (const auto& [line, shown] : cases) EXPECT_EQ(ControlChannel::Masked(line), shown) << line;

    session->FtpCommand("pass hunter2\r\nDELE x");  // not sent, and no password in the record
    EXPECT_EQ(PaneLines().back(), "Command not sent, it holds CR, LF or NUL: pass xxxxxx\r");
    EXPECT_FALSE(Contains(LogText(), "hunter2"));
    struct stat st {};
    ASSERT_EQ(::stat(session->Output().LogPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace vollum::test
