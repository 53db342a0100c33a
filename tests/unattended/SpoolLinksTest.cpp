// The built program, without a display, against a real FTP server: spool runs
// and dropped trees send only what was put in them. A link whose target lies
// outside is kept (neither sent nor deleted); links that stay inside are sent;
// a link named on the command line is followed.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/LinkedTree.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {

namespace fs = std::filesystem;

TEST(ConfinedLinks, LinksLeadingOutOfTheSpoolOrADroppedTreeAreKept) {
    struct Case {
        const char* mode;
        bool spool;
        const char* outsideOf;
    };
    for (const Case& c : {Case{"spool", true, "the spool"}, Case{"drop", false, "the dropped directory"}}) {
        SCOPED_TRACE(c.mode);
        PyFtpServer server;
        VollumProgramDir program;
        TempDir outside, dropped;
        const std::string root = c.spool ? program.Spool() : dropped / "tree";
        MakeLinkedTree(root, outside.Path());
        const std::string named = dropped / "named-link";
        fs::create_symlink(outside / "secret.txt", named);

        program.WriteIni(server.Port(), server.User(), server.Password(), c.spool,
                         {{"IncludeDirs", "1"}, {"IncludeSubDirs", "1"}});
        const VollumResult r = c.spool ? program.Run() : program.Run({root, named});
        EXPECT_EQ(r.exitCode, 5) << r.stderrText;

        const std::string remote = c.spool ? server.Root() : server.Root() + "/tree";
        const std::string log = program.LogText();
        EXPECT_EQ(ReadFile(remote + "/plain.txt"), "plain");
        EXPECT_EQ(ReadFile(remote + "/sub/file.txt"), "in sub");
        for (const TreeLink& l : TreeLinks()) {
            SCOPED_TRACE(l.path);
            const bool sent = l.inside && l.toFile;
            EXPECT_EQ(fs::exists(fs::symlink_status(remote + "/" + l.path)), sent);
            if (sent) {
                EXPECT_EQ(ReadFile(remote + "/" + l.path), "plain");
            }
            const std::string kept = "Kept " + root + "/" + l.path + ": it links outside " + c.outsideOf + "\r\n";
            EXPECT_EQ(log.find(kept) != std::string::npos, !l.inside) << log;
            // A spool run deletes the top-level links it sent; the tree holding a kept one stays whole.
            const bool deleted = c.spool && sent && l.path.find('/') == std::string::npos;
            EXPECT_EQ(fs::exists(fs::symlink_status(root + "/" + l.path)), !deleted);
        }
        // The user named this link: it is sent. Nothing else from outside arrives.
        EXPECT_EQ(fs::exists(server.Root() + "/named-link"), !c.spool);
        for (const auto& line : TreeListing(server.Root()))
            EXPECT_TRUE(line.find("secret") == std::string::npos && line.find("private") == std::string::npos) << line;
        EXPECT_EQ(ReadFile(outside / "secret.txt"), "nobody put this in");
    }
}

}  // namespace vollum::test
