// Several protected transfers in one session against vsftpd, which takes a
// data connection only when it resumes the control connection's TLS session
// (require_ssl_reuse, its default), in both data connection modes.
#include <optional>

#include "TransferTestSupport.h"
#include "support/VsftpdServer.h"

namespace vollum::test {
namespace {

class VsftpdTls : public SessionFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        const std::string why = VsftpdServer::Unavailable();
        if (!why.empty()) GTEST_SKIP() << why;
        server.emplace(VsftpdOptions{.tls = true});
        ASSERT_EQ(server->Problem(), "");
        session->Settings.UseTLS = true;
        session->Settings.PassiveMode = GetParam();
        session->Settings.TLSFingerprint = server->Fingerprint();
        ASSERT_TRUE(ConnectTo(server->Port()));
        ASSERT_TRUE(session->WaitGreeting(false)) << ::testing::PrintToString(PaneLines());
        session->SendLogin("anonymous", "test@localhost", "");
        ASSERT_TRUE(session->Data().Protecting());
    }
    std::optional<VsftpdServer> server;
    TempDir files;
};

TEST_P(VsftpdTls, everyDataConnectionResumesTheSession) {
    const std::string bytes = RandomBytes(300000, 5);
    WriteFile(server->Root() + "/a.bin", bytes);
    for (int round = 0; round < 2; ++round) {
        session->ReceiveData("a.bin", files / "down", "TYPE I");
        EXPECT_TRUE(ReadFile(files / "down") == bytes) << "retrieve, round " << round;
        EXPECT_EQ(session->LastReply().substr(0, 3), "226") << "retrieve, round " << round;
        session->ListDirectory("LIST");
        EXPECT_EQ(session->PaneReplyCode(), 226) << "listing, round " << round;
        WriteFile(files / "up", bytes);
        EXPECT_TRUE(session->StoreFile("TYPE I", files / "up", "up/b" + std::to_string(round)));
        EXPECT_TRUE(ReadFile(server->UploadDir() + "/b" + std::to_string(round)) == bytes) << "store, round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(ActiveAndPassive, VsftpdTls, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Passive" : "Active"; });

}  // namespace
}  // namespace vollum::test
