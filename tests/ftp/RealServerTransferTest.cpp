// Transfers against Debian's pyftpdlib, in plain text and under TLS (the
// certificate pinned): byte-exact round trips, listings, a refused get, and an
// ABOR the real server has to understand (urgent in plain text, in the
// protected stream under TLS).
#include <filesystem>

#include "TransferTestSupport.h"
#include "support/PyFtpServer.h"

namespace vollum::test {
namespace {

// A retrieve of a file named slow* runs for at least 128 reads of 50 ms.
constexpr int kSlowReadMs = 50;

PyFtpServerOptions ServerOptions(bool tls) {
    PyFtpServerOptions options;
    options.tls = tls;
    options.environment["SLOW_READ_MS"] = std::to_string(kSlowReadMs);
    return options;
}

class RealServer : public SessionFixture, public ::testing::WithParamInterface<bool> {
protected:
    RealServer() : server(ServerOptions(GetParam())) {}
    void SetUp() override {
        session->Settings.UseTLS = GetParam();
        session->Settings.TLSFingerprint = server.Fingerprint();
        ASSERT_TRUE(ConnectTo(server.Port()));
        ASSERT_TRUE(session->WaitGreeting(false));
        session->SendLogin(server.User(), server.Password(), "");
        ASSERT_EQ(session->PaneReplyCode(), GetParam() ? 200 : 230);  // PROT P's reply under TLS
        ASSERT_EQ(session->Data().Protecting(), GetParam());
    }
    void RoundTrip(const std::string& type, const std::string& bytes) {
        const std::string name = "f" + std::to_string(bytes.size());
        WriteFile(files / "up", bytes);
        EXPECT_TRUE(session->StoreFile(type, files / "up", name)) << type << " " << bytes.size();
        EXPECT_TRUE(ReadFile(server.Root() + "/" + name) == bytes) << type << " store " << bytes.size();
        session->ReceiveData(name, files / "down", type);
        EXPECT_TRUE(ReadFile(files / "down") == bytes) << type << " retrieve " << bytes.size();
        EXPECT_EQ(session->LastReply().substr(0, 3), "226");
    }
    static std::vector<size_t> Sizes() { return {0, 1, 1300, 3u << 20}; }
    PyFtpServer server;
    TempDir files;
};

TEST_P(RealServer, binaryRoundTripsAreByteExact) {
    for (const size_t size : Sizes()) RoundTrip("TYPE I", RandomBytes(size, static_cast<unsigned>(size)));
}

TEST_P(RealServer, asciiRoundTripsAreByteExact) {
    // This server converts line ends in ASCII type (on its side, as RFC 959
    // allows), so its data has none; every byte value on the wire, CR and LF
    // included, is checked against the fake server.
    for (const size_t size : Sizes()) {
        std::string bytes = RandomBytes(size, 3);
        for (char& c : bytes)
            if (c == '\r' || c == '\n') c = 'x';
        RoundTrip("TYPE A", bytes);
    }
}

TEST_P(RealServer, refusedEbcdicTypeCorruptsNothing) {
    const std::string bytes = RandomBytes(100000, 8);
    ASSERT_EQ(session->FtpCommand("TYPE I"), 2);
    WriteFile(files / "up", bytes);
    EXPECT_TRUE(session->StoreFile("TYPE E", files / "up", "e.bin"));
    EXPECT_TRUE(Contains(PaneLines(), "504 Unsupported type \"E\".\r"));
    EXPECT_TRUE(ReadFile(server.Root() + "/e.bin") == bytes);

    WriteFile(files / "down", "old");
    session->ReceiveData("e.bin", files / "down", "TYPE E");
    EXPECT_EQ(ReadFile(files / "down"), "old");
    EXPECT_EQ(PaneLines().back(), "504 Unsupported type \"E\".\r");
}

TEST_P(RealServer, getOfAMissingFileLeavesTheLocalFileUntouched) {
    WriteFile(files / "keep", "precious");
    session->ReceiveData("missing.txt", files / "keep", "TYPE I");
    EXPECT_EQ(ReadFile(files / "keep"), "precious");
    EXPECT_EQ(PaneLines().back(), "Could not retrieve file\r");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 1);
}

TEST_P(RealServer, listingIntoThePaneAndIntoATemporaryFile) {
    WriteFile(server.Root() + "/hello.txt", "hi");
    session->ListDirectory("LIST");
    const Lines pane = PaneLines();
    EXPECT_TRUE(std::any_of(pane.begin(), pane.end(), [](const std::string& l) {
        return l.size() > 10 && l.compare(l.size() - 10, 10, "hello.txt\r") == 0;
    }));
    EXPECT_EQ(session->LastReply().substr(0, 3), "226");

    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(files.Path());
    session->Settings.DirSep = "1";
    session->Settings.Editor = "true";
    session->ListDirectory("LIST");
    std::filesystem::current_path(old);
    std::string text;
    for (const auto& e : std::filesystem::directory_iterator(files.Path()))
        if (e.path().filename().string().rfind("LST", 0) == 0) text = ReadFile(e.path().string());
    const std::string head = "257 \"/\" is the current directory.\r\nLIST\r\n";
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
    EXPECT_TRUE(Contains(text, "hello.txt\r\n"));
}

TEST_P(RealServer, urgentAborStopsARetrieveAndKeepsTheConversationInStep) {
    // The server takes more than six seconds to send it, whatever the load:
    // the ABOR comes long before, once the first bytes are here.
    WriteFile(server.Root() + "/slow", RandomBytes(8u << 20, 6));
    // Plain: once the data connection stands. TLS: once bytes arrive, after
    // the data connection's handshake (the server sends slower there).
    auto arriving = [this] {
        if (!session->Data().IsOpen()) return false;
        if (!GetParam()) return true;
        for (const auto& e : std::filesystem::directory_iterator(files.Path()))
            if (e.is_regular_file() && e.file_size() > 0) return true;
        return false;
    };
    OnceWhen cancel(arriving, [this] { session->Control().RequestAbort(); });
    session->ReceiveData("slow", files / "slow", "TYPE I");
    EXPECT_TRUE(cancel.Fired());
    // The data connection closes first: the transfer ends in 426, then ABOR has nothing left to abort.
    const Lines pane = PaneLines();
    ASSERT_GE(pane.size(), 2u);
    EXPECT_EQ(pane[pane.size() - 2].substr(0, 4), "426 ");
    EXPECT_EQ(pane.back().substr(0, 4), "225 ");
    EXPECT_FALSE(std::filesystem::exists(files / "slow"));
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);
}

TEST_P(RealServer, abortedStoreLeavesNoReplyToBeTakenForTheNextCommand) {
    WriteFile(files / "big", RandomBytes(8u << 20, 4));
    OnceWhen cancel([this] { return session->Data().IsOpen(); }, [this] { session->Control().RequestAbort(); });
    EXPECT_FALSE(session->StoreFile("TYPE I", files / "big", "big"));
    EXPECT_TRUE(cancel.Fired());
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);
    EXPECT_EQ(session->LastReply().compare(0, 4, "200 "), 0) << session->LastReply();
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, RealServer, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Tls" : "Plain"; });

}  // namespace
}  // namespace vollum::test
