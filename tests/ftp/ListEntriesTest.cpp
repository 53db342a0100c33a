// Remote folders read as entries: FEAT once per login, MLSD where announced,
// LIST otherwise, the listing kept out of the pane.
#include <QElapsedTimer>
#include <filesystem>

#include "TransferTestSupport.h"
#include "support/PyFtpServer.h"

namespace vollum::test {
namespace {

class ListEntries : public TransferFixture {
protected:
    // Greeting and login as far as the server is concerned.
    static FakeFtpServer& LoggedIn(FakeFtpServer& s) { return s.Reply("220 hi"); }
    static const ListingEntry* Named(const std::vector<ListingEntry>& entries, const std::string& name) {
        for (const auto& e : entries)
            if (e.name == name) return &e;
        return nullptr;
    }
};

TEST_F(ListEntries, withoutFeatTheServerGetsListAndFeatIsAskedOncePerLogin) {
    const std::string listing = "total 1\r\n-rw-r--r-- 1 u g 5 Jan 1 2021 a b\r\nsomething else\r\n";
    FakeFtpServer s;
    LoggedIn(s).Expect("FEAT").Reply("500 What?");
    s.Expect("TYPE A").Reply("200 ok").Expect("PORT").Reply("200 ok");
    s.Expect("LIST").Reply("150 here").SendData(listing).Reply("226 done");
    s.Expect("PORT").Reply("200 ok").Expect("LIST sub").Reply("150 here").SendData(listing).Reply("226 done");
    s.Expect("USER").Reply("230 in again").Expect("FEAT").Reply("211 none");
    Open(s);
    std::vector<ListingEntry> entries;
    EXPECT_TRUE(session->ListEntries("", entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a b");
    EXPECT_EQ(entries[0].size, 5u);
    EXPECT_TRUE(entries[1].IsRaw());
    EXPECT_TRUE(session->ListEntries("sub", entries));
    EXPECT_EQ(entries.size(), 2u);
    session->FtpCommand("USER again");
    EXPECT_FALSE(session->Features().Has("MLST"));
    s.Finish();
    EXPECT_FALSE(s.Failed()) << s.Failure();
    EXPECT_FALSE(Contains(PaneLines(), "something else\r"));
    EXPECT_TRUE(Contains(PaneLines(), "LIST sub\r"));
}

TEST_F(ListEntries, mlsdRefusedDespiteMlstFallsBackToList) {
    FakeFtpServer s;
    LoggedIn(s).Expect("FEAT").Reply("211-Features:").Reply(" MLST type*;size*;").Reply("211 End");
    s.Expect("TYPE A").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("MLSD").Reply("502 Not here");
    s.Expect("PORT").Reply("200 ok").Expect("LIST");
    s.Reply("150 here").SendData("drwxr-xr-x 2 u g 4096 Jan 1 2021 pub\r\n").Reply("226 done");
    Open(s);
    std::vector<ListingEntry> entries;
    EXPECT_TRUE(session->ListEntries("", entries));
    s.Finish();
    EXPECT_FALSE(s.Failed()) << s.Failure();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].IsFolder());
}

TEST_F(ListEntries, aHundredThousandEntriesComeInOnePass) {
    std::string listing;
    for (int i = 0; i < 100000; ++i)
        listing += "type=file;size=" + std::to_string(i) + ";modify=20201231223000; file " + std::to_string(i) + "\r\n";
    FakeFtpServer s;
    LoggedIn(s).Expect("FEAT").Reply("211-Features:").Reply(" MLST type*;size*;").Reply("211 End");
    s.Expect("TYPE A").Reply("200 ok").Expect("PORT").Reply("200 ok");
    s.Expect("MLSD").Reply("150 here").SendData(listing).Reply("226 done");
    Open(s);
    std::vector<ListingEntry> entries;
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(session->ListEntries("", entries));
    EXPECT_LT(clock.elapsed(), 20000);  // seconds at most, however loaded the machine
    s.Finish();
    ASSERT_EQ(entries.size(), 100000u);
    EXPECT_EQ(entries[99999].name, "file 99999");
    EXPECT_EQ(entries[99999].size, 99999u);
}

TEST_F(ListEntries, realServerListsByMlsd) {
    PyFtpServer server;
    std::filesystem::create_directory(server.Root() + "/a folder");
    WriteFile(server.Root() + "/ leading.txt", "12345");
    ASSERT_TRUE(ConnectTo(server.Port()));
    ASSERT_TRUE(session->WaitGreeting(false));
    session->SendLogin(server.User(), server.Password(), "");
    EXPECT_EQ(session->Features().Params("MLST").find("type*") != std::string::npos, true);
    std::vector<ListingEntry> entries;
    ASSERT_TRUE(session->ListEntries("", entries));
    EXPECT_TRUE(Contains(PaneLines(), "MLSD\r"));
    ASSERT_EQ(entries.size(), 2u);
    const auto* folder = Named(entries, "a folder");
    const auto* file = Named(entries, " leading.txt");
    ASSERT_TRUE(folder && file);
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_EQ(file->size, 5u);
    EXPECT_TRUE(file->modified.has_value());
    std::string path;
    ASSERT_TRUE(session->CurrentDirectory(path));
    EXPECT_EQ(path, "/");
}

}  // namespace
}  // namespace vollum::test
