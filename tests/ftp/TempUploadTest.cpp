// Stores under a temporary name against Debian's pyftpdlib and the tests'
// vsftpd, refusing what a plainer server or an upload-only account refuses:
// the rename into place, resume (REST, APPE, a REST ignored), a stale, a
// foreign and an altered temporary, ASCII, Cancel and a cut connection.
#include <QProcess>
#include <filesystem>
#include <functional>

#include "TransferTestSupport.h"
#include "config/Installation.h"
#include "ftp/TempJournal.h"
#include "ftp/TempNames.h"
#include "support/PyFtpServer.h"
#include "support/VsftpdServer.h"

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

enum class Server { Py, Vsftpd };

class TempUpload : public TransferFixture, public ::testing::WithParamInterface<Server> {
protected:
    TempUpload() {
        session->Settings.TempUpload = true;
        session->Settings.FtpTimeOut = 10;
        session->Settings.ConnectionTimeOut = 10;
        session->ApplySettings();
    }
    // The temporary a store of local to finalName goes to from this installation.
    std::string TempFor(const std::string& local, const std::string& finalName) {
        FileIdentity id;
        EXPECT_TRUE(ReadIdentity(local, id));
        return TempName(finalName, TempTag(id, finalName, InstallationIdentity(dir / "VOLLUM.INI")));
    }
    // Records a temporary as one this installation began, as a store does.
    void Journal(int port, const std::string& remoteDir, const std::string& name) {
        TempJournal(dir / "VOLLUM.PARTS")
            .Add(TempEntry{session->Settings.UserName + "@127.0.0.1:" + std::to_string(port), remoteDir, name});
    }
    TempDir files;
};

TEST_P(TempUpload, Cases) {
    enum class Stop { None, Cancel, Cut };
    // What the server holds after the store, besides what `before` planted and the case keeps.
    enum class Ends { Whole, Partial, AsTemp, Kept };
    struct Case {
        const char* name;
        const char* refuse;  // pyftpdlib only: a row with refusals does not run against vsftpd
        const char* type;
        // Prepares the server's folder; gets the folder, the temporary name and the local bytes.
        std::function<void(const std::string&, const std::string&, const std::string&)> before;
        Stop stop;
        Ends ends;
        Lines sent;     // pane lines that must be there
        Lines notSent;  // pane lines that must not
        Lines logged;   // log texts that must be there
        const char* untouched = "";  // a planted file ("@", "~") that must stay as it was
        bool digest = false;         // pyftpdlib offers HASH
    };
    const size_t kSize = 1u << 20;
    const size_t kHalf = kSize / 2;
    const std::string half = std::to_string(kHalf);
    int port = 0;
    std::string remoteDir;
    auto none = [](const std::string&, const std::string&, const std::string&) {};
    // A run killed part-way left this: ours, journalled, `change` applied to its bytes.
    auto leftHalf = [&](std::function<void(std::string&)> change) {
        return [&, change](const std::string& root, const std::string& temp, const std::string& bytes) {
            std::string part = bytes.substr(0, kHalf);
            change(part);
            WriteFile(root + "/" + temp, part);
            Journal(port, remoteDir, temp);
        };
    };
    auto same = [](std::string&) {};
    const std::string stale = TempName("up.bin", "0000abcd");
    const std::vector<Case> cases = {
        {"temporary name, then rename", "", "TYPE I", none, Stop::None, Ends::Whole,
         {"NLST\r", "PWD\r", "STOR @\r", "SIZE @\r", "RNFR @\r", "RNTO up.bin\r"},
         {"STOR up.bin\r", "DELE up.bin\r"}, {}},
        {"rename onto an existing name refused: the old file goes first", "RNTO-EXISTING", "TYPE I",
         [](const std::string& root, const std::string&, const std::string&) { WriteFile(root + "/up.bin", "old"); },
         Stop::None, Ends::Whole, {"RNTO up.bin\r", "550 File exists.\r", "DELE up.bin\r"}, {}, {}},
        {"the second rename refused too: the whole temporary stays, the local file is kept", "RNTO", "TYPE I",
         [](const std::string& root, const std::string&, const std::string&) { WriteFile(root + "/up.bin", "old"); },
         Stop::None, Ends::AsTemp, {"DELE up.bin\r"}, {"DELE @\r", "STOR up.bin\r"},
         {"Stored as @: the server refused the name up.bin"}},
        {"renames refused: said once, the temporary deleted, stored under the final name", "RENAME", "TYPE I", none,
         Stop::None, Ends::Whole, {"STOR @\r", "DELE @\r", "STOR up.bin\r"}, {},
         {"The server does not allow renames: files are stored under their final names"}},
        {"left by a killed run: checked at both ends, resumed with REST", "", "TYPE I", leftHalf(same), Stop::None,
         Ends::Whole, {"SIZE @\r", "RETR @\r", "REST " + std::to_string(kHalf - 65536) + "\r", "REST " + half + "\r",
                       "STOR @\r"},
         {}, {"Resumed @ at " + half + " bytes"}},
        {"REST refused: resumed with APPE", "REST", "TYPE I", leftHalf(same), Stop::None, Ends::Whole,
         {"REST " + half + "\r", "APPE @\r"}, {"STOR @\r"}, {"Resumed @ at " + half + " bytes"}},
        {"REST ignored: the resume fails once, then the file goes from the start", "REST-IGNORED", "TYPE I",
         leftHalf(same), Stop::None, Ends::Whole, {"REST " + half + "\r", "DELE @\r"}, {},
         {"Resumed @ at " + half + " bytes", "Resuming @ failed: sending it again from the start"}},
        {"rewritten in place with its time restored: the part's start is another file's", "", "TYPE I",
         leftHalf([](std::string& b) { b[10] ^= 1; }), Stop::None, Ends::Whole, {"DELE @\r", "STOR @\r"},
         {"REST " + half + "\r"}, {"The part on the server, @, is not this file's: sending it from the start"}},
        {"altered at its end: sent from the start", "", "TYPE I", leftHalf([](std::string& b) { b.back() ^= 1; }),
         Stop::None, Ends::Whole, {"DELE @\r", "STOR @\r"}, {"REST " + half + "\r"}, {"is not this file's"}},
        {"a small part is read whole and compared", "", "TYPE I",
         [&](const std::string& root, const std::string& temp, const std::string& bytes) {
             std::string part = bytes.substr(0, 1000);
             part[500] ^= 1;
             WriteFile(root + "/" + temp, part);
             Journal(port, remoteDir, temp);
         },
         Stop::None, Ends::Whole, {"RETR @\r", "DELE @\r"}, {"REST 1000\r"}, {"is not this file's"}},
        {"a temporary of ours for another version of the file goes", "", "TYPE I",
         [&](const std::string& root, const std::string&, const std::string& bytes) {
             WriteFile(root + "/" + stale, bytes.substr(0, 1000));
             Journal(port, remoteDir, stale);
         },
         Stop::None, Ends::Whole, {"DELE ~\r", "STOR @\r"}, {"SIZE ~\r"}, {}},
        {"someone else's NAME.<hex>.part is left alone", "", "TYPE I",
         [&](const std::string& root, const std::string&, const std::string&) {
             WriteFile(root + "/" + stale, "the user's own file");
         },
         Stop::None, Ends::Whole, {"STOR @\r"}, {"DELE ~\r"}, {}, "~"},
        {"our very name, not made by us: neither resumed nor overwritten", "", "TYPE I",
         [&](const std::string& root, const std::string& temp, const std::string& bytes) {
             WriteFile(root + "/" + temp, bytes.substr(0, kHalf));
         },
         Stop::None, Ends::Kept, {}, {"STOR @\r", "REST " + half + "\r", "DELE @\r"},
         {"which this installation did not make"}, "@"},
        {"with HASH the part's digest decides, then the whole file's", "", "TYPE I", leftHalf(same), Stop::None,
         Ends::Whole, {"OPTS HASH SHA-256\r", "HASH @\r", "REST " + half + "\r"}, {"RETR @\r"},
         {"Resumed @ at " + half + " bytes"}, "", true},
        {"with HASH a change between the windows is seen too", "", "TYPE I",
         leftHalf([](std::string& b) { b[200000] ^= 1; }), Stop::None, Ends::Whole, {"HASH @\r", "DELE @\r"},
         {"REST " + half + "\r"}, {"is not this file's"}, "", true},
        {"ASCII never resumes", "", "TYPE A", leftHalf(same), Stop::None, Ends::Whole, {"STOR @\r", "RNTO up.bin\r"},
         {"SIZE @\r", "REST " + half + "\r"}, {}},
        {"Cancel leaves only the temporary name", "", "TYPE I", none, Stop::Cancel, Ends::Partial, {"STOR @\r"}, {},
         {"Partial upload kept as @ for the next run"}},
        {"a cut connection leaves only the temporary name", "CUT", "TYPE I", none, Stop::Cut, Ends::Partial,
         {"STOR @\r"}, {}, {"Partial upload kept as @ for the next run"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<PyFtpServer> py;
        std::optional<VsftpdServer> vsftpd;
        std::string root;
        if (GetParam() == Server::Py) {
            py.emplace(PyFtpServerOptions{.environment = {{"REFUSE", c.refuse}, {"HASH", c.digest ? "1" : ""}}});
            port = py->Port();
            root = py->Root();
            remoteDir = "/";
            session->Settings.UserName = py->User();
        } else {
            if (*c.refuse || c.digest) continue;
            vsftpd.emplace();
            if (!vsftpd->Problem().empty()) GTEST_SKIP() << vsftpd->Problem();
            port = vsftpd->Port();
            root = vsftpd->UploadDir();
            remoteDir = std::string("/") + VsftpdServer::kUploadFolder;
            session->Settings.UserName = "anonymous";
        }
        ASSERT_TRUE(ConnectTo(port));
        ASSERT_TRUE(session->WaitGreeting(false));
        if (py) session->SendLogin(py->User(), py->Password(), "");
        else {
            session->SendLogin("anonymous", "test@localhost", "");
            ASSERT_EQ(session->FtpCommand("CWD %s", {VsftpdServer::kUploadFolder}), 2);
        }

        // Large enough for a Cancel or a cut to come mid-store; no line ends for ASCII to change.
        std::string bytes = RandomBytes(c.stop == Stop::None ? kSize : 32u << 20, 5);
        for (char& b : bytes)
            if (b == '\r' || b == '\n') b = 'x';
        const std::string local = files / "up.bin";
        WriteFile(local, bytes);
        const std::string temp = TempFor(local, "up.bin");
        c.before(root, temp, bytes);
        // vsftpd's sessions write as user ftp, also to what the test planted.
        if (vsftpd) {
            ASSERT_EQ(QProcess::execute("chown", {"-R", "ftp", QString::fromStdString(root)}), 0);
        }
        const std::string planted = Expand(c.untouched, temp, stale);
        const std::string plantedBytes = planted.empty() ? "" : ReadFile(root + "/" + planted);

        const size_t paneStart = PaneLines().size();
        const size_t logStart = LogText().size();
        // Once the store's data flows (the listing before it has a data connection too).
        OnceWhen stop([&] { return c.stop != Stop::None && std::filesystem::exists(root + "/" + temp); },
                      [&] {
                          if (c.stop == Stop::Cancel) session->Control().RequestAbort();
                          else py->Stop();
                      });
        const bool stored = session->StoreFile(c.type, local, "up.bin");
        EXPECT_EQ(stored, c.ends == Ends::Whole);
        EXPECT_EQ(stop.Fired(), c.stop != Stop::None);

        const Lines pane = PaneFrom(paneStart);
        for (const std::string& line : c.sent) EXPECT_TRUE(Contains(pane, Expand(line, temp, stale))) << line;
        for (const std::string& line : c.notSent) EXPECT_FALSE(Contains(pane, Expand(line, temp, stale))) << line;
        const std::string log = LogText().substr(logStart);
        for (const std::string& text : c.logged) EXPECT_TRUE(Contains(log, Expand(text, temp, stale))) << log;
        Lines held = Entries(root);
        if (!planted.empty()) {
            EXPECT_TRUE(ReadFile(root + "/" + planted) == plantedBytes) << planted;
            held.erase(std::remove_if(held.begin(), held.end(),
                                      [&](const std::string& e) { return e.rfind(planted + " ", 0) == 0; }),
                       held.end());
        }
        const std::string size = std::to_string(bytes.size());
        switch (c.ends) {
            case Ends::Whole:
                EXPECT_EQ(held, Lines{"up.bin " + size});
                EXPECT_TRUE(ReadFile(root + "/up.bin") == bytes);
                EXPECT_EQ(meter.bytesWritten, size + " of " + size);
                break;
            case Ends::AsTemp:
                EXPECT_EQ(held, Lines{temp + " " + size});
                EXPECT_TRUE(ReadFile(root + "/" + temp) == bytes);
                break;
            case Ends::Partial:
                ASSERT_EQ(held.size(), 1u) << held[0];
                EXPECT_EQ(held[0].compare(0, temp.size() + 1, temp + " "), 0) << held[0];
                break;
            case Ends::Kept: EXPECT_EQ(held, Lines{}); break;
        }
        if (Contains(log, "Resumed") && c.ends == Ends::Whole && !Contains(log, "Resuming")) {
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
        std::filesystem::remove(dir / "VOLLUM.PARTS");
    }
}

INSTANTIATE_TEST_SUITE_P(PyftpdlibAndVsftpd, TempUpload, ::testing::Values(Server::Py, Server::Vsftpd),
                         [](const ::testing::TestParamInfo<Server>& i) {
                             return i.param == Server::Py ? "Pyftpdlib" : "Vsftpd";
                         });

TEST_F(TransferFixture, aStoreCutUnderItsFinalNameSaysWhatItLeft) {
    PyFtpServer server;
    ASSERT_TRUE(ConnectTo(server.Port()));
    ASSERT_TRUE(session->WaitGreeting(false));
    session->SendLogin(server.User(), server.Password(), "");
    TempDir files;
    WriteFile(files / "up.bin", RandomBytes(32u << 20, 3));
    OnceWhen cancel([&] { return std::filesystem::exists(server.Root() + "/up.bin"); },
                    [&] { session->Control().RequestAbort(); });
    EXPECT_FALSE(session->StoreFile("TYPE I", files / "up.bin", "up.bin"));
    EXPECT_TRUE(Contains(PaneLines(), "Partial upload left on the server as up.bin\r")) << ::testing::PrintToString(PaneLines());
    EXPECT_TRUE(Contains(LogText(), "Partial upload left on the server as up.bin"));
}

TEST(TempNames, TagTracksFileNameAndInstallationAndLongNamesStayApart) {
    FileIdentity a;
    a.size = 100;
    a.mtimeSec = 1700000000;
    a.inode = 7;
    const std::string tag = TempTag(a, "report.pdf", "one");
    EXPECT_EQ(tag.size(), 8u);
    for (auto change : std::vector<std::function<void(FileIdentity&)>>{
             [](FileIdentity& f) { f.mtimeNsec = 1; }, [](FileIdentity& f) { f.size = 101; },
             [](FileIdentity& f) { f.inode = 8; }, [](FileIdentity& f) { f.device = 1; },
             [](FileIdentity& f) { f.mtimeSec = -1; }}) {
        FileIdentity b = a;
        change(b);
        EXPECT_NE(tag, TempTag(b, "report.pdf", "one"));
    }
    EXPECT_NE(tag, TempTag(a, "report.pdf", "two"));
    EXPECT_EQ(TempName("report.pdf", tag), "report.pdf." + tag + ".part");
    EXPECT_EQ(TempTagOf("dir/report.pdf." + tag + ".part", "report.pdf"), tag);
    for (const std::string& other : Lines{"report.pdf", "report.pdf.part", "report.pdf.ABCDEF12.part",
                                          "xreport.pdf." + tag + ".part", "report.pdf." + tag + ".partx"})
        EXPECT_EQ(TempTagOf(other, "report.pdf"), "") << other;

    // 240 two-byte characters: the name is cut before a whole one.
    std::string longName;
    for (int i = 0; i < 240; ++i) longName += "\xc3\xa9";
    const std::string temp = TempName(longName, TempTag(a, longName, "one"));
    EXPECT_LE(temp.size(), 255u);
    EXPECT_EQ((temp.size() - 14) % 2, 0u);
    EXPECT_EQ(TempTagOf(temp, longName), TempTag(a, longName, "one"));
    // Two names alike in the part a temporary name keeps never share one.
    const std::string first(241, 'n');
    EXPECT_NE(TempName(first + "-one", TempTag(a, first + "-one", "one")),
              TempName(first + "-two", TempTag(a, first + "-two", "one")));
}

}  // namespace
}  // namespace vollum::test
