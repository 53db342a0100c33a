// The built program in spool mode with TempUpload, killed mid-store and run
// again, while the server's directory is watched the way a consumer of a
// drop box watches it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {

namespace fs = std::filesystem;

TEST(SpoolResume, KilledRunLeavesOnlyTheTemporaryAndTheNextSendsTheRest) {
    // Slow enough to be killed part-way.
    PyFtpServer server(PyFtpServerOptions{.environment = {{"READ_LIMIT", std::to_string(1 << 20)}}});
    VollumProgramDir program;
    const std::string bytes = RandomBytes(4u << 20, 11);
    PutFile(program.Spool() + "/big.bin", bytes);
    program.WriteIni(server.Port(), server.User(), server.Password(), true, {{"TempUpload", "1"}});

    const std::string finalPath = server.Root() + "/big.bin";
    bool shortFinalSeen = false;
    auto temporarySize = [&]() -> long long {
        std::error_code ec;
        const auto size = fs::file_size(finalPath, ec);
        if (!ec && size < bytes.size()) shortFinalSeen = true;
        for (const auto& e : fs::directory_iterator(server.Root(), ec))
            if (e.path().extension() == ".part") return static_cast<long long>(e.file_size(ec));
        return -1;
    };
    const VollumResult killed = program.RunKilledWhen([&] { return temporarySize() >= (1 << 20); });
    ASSERT_TRUE(killed.killed) << killed.stderrText;
    EXPECT_FALSE(fs::exists(finalPath));
    const long long kept = temporarySize();
    ASSERT_GE(kept, 1 << 20);
    ASSERT_TRUE(fs::exists(program.Spool() + "/big.bin"));

    const VollumResult again = program.RunKilledWhen([&] {
        temporarySize();
        return false;
    });
    ASSERT_EQ(again.exitCode, 0) << again.stderrText;
    EXPECT_FALSE(shortFinalSeen);
    EXPECT_TRUE(ReadFile(finalPath) == bytes);
    EXPECT_EQ(TreeListing(server.Root()).size(), 1u);
    EXPECT_TRUE(TreeListing(program.Spool()).empty());
    // Only the rest went: the second run began where the first was cut.
    const std::string log = program.LogText();
    const size_t at = log.find(".part at ");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_GE(std::stoll(log.substr(at + 9)), kept) << log;
}

}  // namespace vollum::test
