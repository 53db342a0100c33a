// The user's Cancel in the middle of a large get, put and listing, against
// vsftpd (which reads no urgent ABOR while its data send is blocked) and
// pyftpdlib, in both data connection modes: the transfer ends at once, no
// box appears, the pane says so, and the next command gets its own reply.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

#include "TransferTestSupport.h"
#include "support/PyFtpServer.h"
#include "support/VsftpdServer.h"

namespace vollum::test {
namespace {

namespace fs = std::filesystem;

// 4 MiB/s: the 200 MB file would take most of a minute, so the Cancel lands
// mid-transfer however loaded the machine is.
constexpr long kThrottle = 4L << 20;
constexpr long long kBigFile = 200LL * 1000 * 1000;
constexpr int kListingEntries = 3000;
// Cancel must leave the window free within a second; the bound allows a loaded machine.
constexpr int kResponsiveMs = 2000;

struct Setup {
    bool vsftpd;
    bool passive;
};

class CancelMidTransfer : public SessionFixture, public ::testing::WithParamInterface<Setup> {
protected:
    void SetUp() override {
        session->Settings.PassiveMode = GetParam().passive;
        if (GetParam().vsftpd) {
            const std::string why = VsftpdServer::Unavailable();
            if (!why.empty()) GTEST_SKIP() << why;
            vsftpd.emplace(VsftpdOptions{.maxRate = kThrottle});
            ASSERT_EQ(vsftpd->Problem(), "");
            root = vsftpd->Root();
            uploads = "up/";
            ASSERT_TRUE(ConnectTo(vsftpd->Port()));
            ASSERT_TRUE(session->WaitGreeting(false));
            session->SendLogin("anonymous", "test@localhost", "");
        } else {
            PyFtpServerOptions options;
            options.environment["THROTTLE"] = std::to_string(kThrottle);
            pyftpdlib.emplace(options);
            root = pyftpdlib->Root();
            ASSERT_TRUE(ConnectTo(pyftpdlib->Port()));
            ASSERT_TRUE(session->WaitGreeting(false));
            session->SendLogin(pyftpdlib->User(), pyftpdlib->Password(), "");
        }
        ASSERT_EQ(session->PaneReplyCode(), 230);
    }

    // What the window's Cancel Transfer does.
    void Cancel() {
        cancelledAt = std::chrono::steady_clock::now();
        session->Control().RequestCancel();
        session->Data().AbandonWait();
    }

    bool LocalBytesArrived() const {
        for (const auto& e : fs::directory_iterator(files.Path()))
            if (e.is_regular_file() && e.file_size() > 0) return true;
        return false;
    }

    std::optional<VsftpdServer> vsftpd;
    std::optional<PyFtpServer> pyftpdlib;
    std::string root, uploads;
    TempDir files, sources;
    std::chrono::steady_clock::time_point cancelledAt;
};

TEST_P(CancelMidTransfer, endsAtOnceWithoutABoxAndTheNextCommandGetsItsOwnReply) {
    {
        std::ofstream(root + "/big200.bin");
        fs::resize_file(root + "/big200.bin", kBigFile);  // sparse: nothing to write
        std::ofstream(sources / "big200.bin");
        fs::resize_file(sources / "big200.bin", kBigFile);
        fs::create_directory(root + "/many");
        for (int i = 0; i < kListingEntries; ++i)
            std::ofstream(root + "/many/entry-" + std::to_string(i) + std::string(100, 'x'));
    }
    const std::string put = uploads + "put200.bin";
    struct Case {
        const char* name;
        std::function<bool()> midway;
        std::function<void()> run;
        std::vector<std::string> paneSays;
    };
    const std::vector<Case> cases = {
        {"get", [this] { return LocalBytesArrived(); },
         [this] { session->ReceiveData("big200.bin", files / "got.bin", "TYPE I"); },
         {"Transfer cancelled: big200.bin\r"}},
        {"put", [&] { return fs::exists(root + "/" + put) && fs::file_size(root + "/" + put) > 0; },
         [&] { EXPECT_FALSE(session->StoreFile("TYPE I", sources / "big200.bin", put)); },
         {"Transfer cancelled: " + put + "\r", "The server may hold a partial file: " + put + "\r"}},
        {"listing",
         [this] { return Contains(session->Pane().LastLine(), "entry-"); },
         [this] { session->ListDirectory("LIST %s", {"many"}); },
         {"Transfer cancelled: LIST many\r"}},
    };
    for (const Case& c : cases) {
        const size_t first = PaneLines().size();
        OnceWhen cancel(c.midway, [this] { Cancel(); });
        c.run();
        const auto stopped = std::chrono::steady_clock::now();
        ASSERT_TRUE(cancel.Fired()) << c.name;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(stopped - cancelledAt).count(), kResponsiveMs)
            << c.name;
        EXPECT_EQ(prompts.Texts(), std::vector<std::string>{}) << c.name;
        const Lines pane = PaneFrom(first);
        for (const std::string& line : c.paneSays) EXPECT_TRUE(Contains(pane, line)) << c.name << ": " << line;
        EXPECT_FALSE(fs::exists(files / "got.bin")) << c.name;

        // The transfer's reply and ABOR's, read now or before this command, are not taken for its own.
        EXPECT_EQ(session->FtpCommand("NOOP"), 2) << c.name;
        EXPECT_EQ(session->LastReply().substr(0, 4), "200 ") << c.name;
        EXPECT_EQ(session->FtpCommand("PWD"), 2) << c.name;
        EXPECT_EQ(session->LastReply().substr(0, 4), "257 ") << c.name;
    }
    EXPECT_LT(fs::file_size(root + "/" + put), static_cast<uintmax_t>(kBigFile));
}

INSTANTIATE_TEST_SUITE_P(ServersAndModes, CancelMidTransfer,
                         ::testing::Values(Setup{true, false}, Setup{true, true}, Setup{false, false},
                                           Setup{false, true}),
                         [](const ::testing::TestParamInfo<Setup>& i) {
                             return std::string(i.param.vsftpd ? "Vsftpd" : "Pyftpdlib") +
                                    (i.param.passive ? "Passive" : "Active");
                         });

}  // namespace
}  // namespace vollum::test
