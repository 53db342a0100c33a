// Stores under a temporary name against Debian's pyftpdlib, refusing what a
// plainer server or an upload-only account refuses: the rename into place,
// resume (REST, APPE), a stale temporary, ASCII, Cancel and a cut connection.
#include <filesystem>
#include <functional>

#include "TransferTestSupport.h"
#include "ftp/TempNames.h"
#include "support/PyFtpServer.h"

namespace vollum::test {
namespace {

// The names in a directory, with their sizes.
Lines Entries(const std::string& root) {
    Lines out;
    for (const auto& e : std::filesystem::directory_iterator(root))
        out.push_back(e.path().filename().string() + " " + std::to_string(e.file_size()));
    std::sort(out.begin(), out.end());
    return out;
}

// "@" stands for the temporary name, "~" for a stale one of the same final name.
std::string Expand(std::string text, const std::string& temp, const std::string& stale) {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, temp);
    for (size_t at; (at = text.find('~')) != std::string::npos;) text.replace(at, 1, stale);
    return text;
}

class TempUpload : public TransferFixture {
protected:
    TempUpload() {
        session->Settings.TempUpload = true;
        session->Settings.FtpTimeOut = 10;
        session->Settings.ConnectionTimeOut = 10;
        session->ApplySettings();
    }
    TempDir files;
};

TEST_F(TempUpload, Cases) {
    enum class Stop { None, Cancel, Cut };
    struct Case {
        const char* name;
        const char* refuse;
        const char* type;
        // Prepares the server's root; gets the root, the temporary name and the local bytes.
        std::function<void(const std::string&, const std::string&, const std::string&)> before;
        Stop stop;
        Lines sent;     // pane lines that must be there
        Lines notSent;  // pane lines that must not
        Lines logged;   // log texts that must be there
    };
    const size_t kSize = 1u << 20;
    const size_t kHalf = kSize / 2;
    const std::string half = std::to_string(kHalf);
    auto none = [](const std::string&, const std::string&, const std::string&) {};
    auto leftHalf = [&](const std::string& root, const std::string& temp, const std::string& bytes) {
        WriteFile(root + "/" + temp, bytes.substr(0, kHalf));
    };
    const std::vector<Case> cases = {
        {"temporary name, then rename", "", "TYPE I", none, Stop::None,
         {"NLST\r", "STOR @\r", "SIZE @\r", "RNFR @\r", "RNTO up.bin\r"}, {"STOR up.bin\r", "DELE up.bin\r"}, {}},
        {"rename onto an existing name refused: the old file goes first", "RNTO-EXISTING", "TYPE I",
         [](const std::string& root, const std::string&, const std::string&) { WriteFile(root + "/up.bin", "old"); },
         Stop::None, {"RNTO up.bin\r", "550 File exists.\r", "DELE up.bin\r"}, {}, {}},
        {"renames refused: said once, the temporary deleted, stored under the final name", "RENAME", "TYPE I", none,
         Stop::None, {"STOR @\r", "DELE @\r", "STOR up.bin\r"}, {},
         {"The server does not allow renames: files are stored under their final names"}},
        {"left by a killed run: resumed with REST", "", "TYPE I", leftHalf, Stop::None,
         {"SIZE @\r", "REST " + half + "\r", "STOR @\r"}, {}, {"Resumed @ at " + half + " bytes"}},
        {"REST refused: resumed with APPE", "REST", "TYPE I", leftHalf, Stop::None,
         {"REST " + half + "\r", "APPE @\r"}, {"STOR @\r"}, {"Resumed @ at " + half + " bytes"}},
        {"a changed local file starts from zero and its stale temporary goes", "", "TYPE I",
         [](const std::string& root, const std::string&, const std::string& bytes) {
             WriteFile(root + "/" + TempName("up.bin", "0000abcd"), bytes.substr(0, 1000));
         },
         Stop::None, {"DELE ~\r", "STOR @\r"}, {"SIZE ~\r"}, {}},
        {"ASCII never resumes", "", "TYPE A", leftHalf, Stop::None, {"STOR @\r", "RNTO up.bin\r"},
         {"SIZE @\r", "REST " + half + "\r"}, {}},
        {"Cancel leaves only the temporary name", "", "TYPE I", none, Stop::Cancel, {"STOR @\r"}, {},
         {"Partial upload kept as @ for the next run"}},
        {"a cut connection leaves only the temporary name", "", "TYPE I", none, Stop::Cut, {"STOR @\r"}, {},
         {"Partial upload kept as @ for the next run"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PyFtpServer server(PyFtpServerOptions{.environment = {{"REFUSE", c.refuse}}});
        ASSERT_TRUE(ConnectTo(server.Port()));
        ASSERT_TRUE(session->WaitGreeting(false));
        session->SendLogin(server.User(), server.Password(), "");

        // Large enough for a Cancel or a cut to come mid-store; no line ends for ASCII to change.
        std::string bytes = RandomBytes(c.stop == Stop::None ? kSize : 32u << 20, 5);
        for (char& b : bytes)
            if (b == '\r' || b == '\n') b = 'x';
        const std::string local = files / "up.bin";
        WriteFile(local, bytes);
        FileIdentity id;
        ASSERT_TRUE(ReadIdentity(local, id));
        const std::string temp = TempName("up.bin", TempTag(id));
        const std::string stale = TempName("up.bin", "0000abcd");
        c.before(server.Root(), temp, bytes);

        const size_t paneStart = PaneLines().size();
        const size_t logStart = LogText().size();
        // Once the store's data flows (the listing before it has a data connection too).
        OnceWhen stop([&] { return c.stop != Stop::None && std::filesystem::exists(server.Root() + "/" + temp); },
                      [&] {
                          if (c.stop == Stop::Cancel) session->Control().RequestAbort();
                          else server.Stop();
                      });
        const bool stored = session->StoreFile(c.type, local, "up.bin");
        EXPECT_EQ(stored, c.stop == Stop::None);
        EXPECT_EQ(stop.Fired(), c.stop != Stop::None);

        const Lines pane = PaneFrom(paneStart);
        for (const std::string& line : c.sent) EXPECT_TRUE(Contains(pane, Expand(line, temp, stale))) << line;
        for (const std::string& line : c.notSent) EXPECT_FALSE(Contains(pane, Expand(line, temp, stale))) << line;
        const std::string log = LogText().substr(logStart);
        for (const std::string& text : c.logged) EXPECT_TRUE(Contains(log, Expand(text, temp, stale))) << log;
        const Lines held = Entries(server.Root());
        if (stored) {
            EXPECT_EQ(held, Lines{"up.bin " + std::to_string(bytes.size())});
            EXPECT_TRUE(ReadFile(server.Root() + "/up.bin") == bytes);
            EXPECT_EQ(meter.bytesWritten, std::to_string(kSize) + " of " + std::to_string(kSize));
        } else {
            ASSERT_EQ(held.size(), 1u) << held[0];
            EXPECT_EQ(held[0].compare(0, temp.size() + 1, temp + " "), 0) << held[0];
        }
        if (Contains(log, "Resumed")) {
            // The meter counts the whole file, starting with the half on the server.
            EXPECT_GE(std::stoi(meter.titles.front()), 50) << meter.titles.front();
        }
        if (std::string(c.refuse) == "RENAME") {
            // The rest of the connection goes under final names without a word.
            EXPECT_TRUE(session->StoreFile(c.type, local, "again.bin"));
            EXPECT_TRUE(Contains(PaneLines(), "STOR again.bin\r"));
            const std::string all = LogText().substr(logStart);
            EXPECT_EQ(all.find("does not allow renames"), all.rfind("does not allow renames"));
        }
        session->Control().Disconnect();
        meter.titles.clear();
    }
}

TEST(TempNames, TagTracksSizeAndTimeAndLongNamesKeepWholeCharacters) {
    FileIdentity a;
    a.size = 100;
    a.mtimeSec = 1700000000;
    FileIdentity b = a;
    b.mtimeNsec = 1;
    FileIdentity c = a;
    c.size = 101;
    const std::string tag = TempTag(a);
    EXPECT_EQ(tag.size(), 8u);
    EXPECT_NE(tag, TempTag(b));
    EXPECT_NE(tag, TempTag(c));
    EXPECT_EQ(TempName("report.pdf", tag), "report.pdf." + tag + ".part");
    EXPECT_EQ(TempTagOf("dir/report.pdf." + tag + ".part", "report.pdf"), tag);
    for (const std::string& other : Lines{"report.pdf", "report.pdf.part", "report.pdf.ABCDEF12.part",
                                     "xreport.pdf." + tag + ".part", "report.pdf." + tag + ".partx"})
        EXPECT_EQ(TempTagOf(other, "report.pdf"), "") << other;

    // 240 two-byte characters: the name is cut before a whole one.
    std::string longName;
    for (int i = 0; i < 240; ++i) longName += "\xc3\xa9";
    const std::string temp = TempName(longName, tag);
    EXPECT_LE(temp.size(), 255u);
    EXPECT_EQ(temp.compare(temp.size() - 14, 14, "." + tag + ".part"), 0);
    EXPECT_EQ((temp.size() - 14) % 2, 0u);
    EXPECT_EQ(TempTagOf(temp, longName), tag);
}

}  // namespace
}  // namespace vollum::test
