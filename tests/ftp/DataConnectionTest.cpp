// The PORT announcement and the data connection's lifetime.
#include "TransferTestSupport.h"
#include "common/Convert.h"

namespace vollum::test {
namespace {

TEST(PortCommand, addressPartsThenPortHighAndLowByte) {
    EXPECT_EQ(DataChannel::PortCommand("10.0.0.7", 1025), "PORT 10,0,0,7,4,1");
    EXPECT_EQ(DataChannel::PortCommand("192.168.1.20", 256), "PORT 192,168,1,20,1,0");
    EXPECT_EQ(DataChannel::PortCommand("127.0.0.1", 255), "PORT 127,0,0,1,0,255");
    EXPECT_EQ(DataChannel::PortCommand("127.0.0.1", 65535), "PORT 127,0,0,1,255,255");
}

class DataConnection : public TransferFixture {};

TEST_F(DataConnection, eachTransferAnnouncesItsOwnListeningPort) {
    FakeFtpServer s;
    s.Reply("220 hi");
    for (int i = 0; i < 2; ++i) {
        if (i == 0) s.Expect("TYPE").Reply("200 ok");
        s.Expect("PORT").Reply("200 ok");
        s.Expect("RETR").Reply("150 go").SendData("x").Reply("226 done");
    }
    std::vector<std::string> announced;
    Open(s);
    for (int i = 0; i < 2; ++i) {
        const int before = static_cast<int>(PaneLines().size());
        session->ReceiveData("r", "", "TYPE I");
        for (const auto& line : PaneFrom(static_cast<size_t>(before)))
            if (line.rfind("PORT ", 0) == 0) announced.push_back(line);
        EXPECT_FALSE(session->Data().Listening());
        EXPECT_FALSE(session->Data().IsOpen());
    }
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    ASSERT_EQ(announced.size(), 2u);
    for (const auto& line : announced) EXPECT_EQ(line.rfind("PORT 127,0,0,1,", 0), 0u) << line;
}

TEST_F(DataConnection, portNamesTheSocketThatListens) {
    FakeFtpServer s;
    s.Reply("220 hi").Expect("PORT").Reply("200 ok");
    Open(s);
    EXPECT_EQ(session->OpenDataPort(), 2);
    const int port = StrToInt(session->Data().ListeningPort());
    s.Finish();
    EXPECT_EQ(s.LastPortArgument(), "127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256));
    session->CloseDataConnection();
    EXPECT_FALSE(session->Data().Listening());
}

TEST_F(DataConnection, serverThatNeverConnectsGivesOnlyTheReceiveMessage) {
    session->Settings.FtpTimeOut = 1;
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("RETR").Reply("150 go");
    Open(s);
    TempDir files;
    WriteFile(files / "keep", "old");
    session->ReceiveData("r", files / "keep", "TYPE I");
    s.Finish();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Could not extablish data socket, operation canceled");
    EXPECT_EQ(prompts.shown[0].title, "ERROR");
    EXPECT_TRUE(Contains(LogText(), "Could not extablish data socket, operation canceled\r\n"));
    EXPECT_FALSE(session->Data().Listening());
    EXPECT_FALSE(session->TransferBusy());
    EXPECT_EQ(ReadFile(files / "keep"), "old");
}

}  // namespace
}  // namespace vollum::test
