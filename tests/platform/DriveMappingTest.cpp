// The drive-mapping tool's work and the drive-type query, in a drives folder of the test's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/DriveMapping.h"
#include "support/TempDir.h"

namespace vollum {
namespace {

namespace fs = std::filesystem;

class DriveTool : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("VOLLUM_DRIVES", (root / "Drives").c_str(), 1);
        fs::create_directories(root / "spool one");
    }
    void TearDown() override { ::unsetenv("VOLLUM_DRIVES"); }
    int Run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        return RunSubstTool(args, out, err);
    }
    test::TempDir root;
};

TEST_F(DriveTool, MapsReleasesAndRefusesAsTheSubstitutionToolDoes) {
    const std::string dir = root / "spool one";
    const std::string link = root / "Drives/F";
    struct Step {
        std::vector<std::string> args;
        int exit;
        DriveType after;
    };
    const Step steps[] = {
        {{"F:", "/D"}, 1, DriveType::NoRootDir},              // nothing mapped yet
        {{"F:", root / "missing"}, 1, DriveType::NoRootDir},  // no such directory
        {{"f:", dir}, 0, DriveType::Fixed},                   // lower case names the same drive
        {{"F:", root.Path()}, 1, DriveType::Fixed},           // already in use: left as it was
        {{"F:", "/d"}, 0, DriveType::NoRootDir},
        {{"F:", "/D"}, 1, DriveType::NoRootDir},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(Run(s.args), s.exit) << s.args[0] << " " << s.args[1];
        EXPECT_EQ(QueryDriveType("F:"), s.after) << s.args[0] << " " << s.args[1];
        if (s.after == DriveType::Fixed) {
            EXPECT_EQ(fs::read_symlink(link).native(), dir);
        }
    }
}

TEST_F(DriveTool, RefusesTextsThatAreNoDriveAndNeverRemovesWhatIsNotALink) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"../x", root.Path()},
                                                                                      {"FF:", root.Path()},
                                                                                      {"1:", root.Path()},
                                                                                      {"", root.Path()},
                                                                                      {"F:"},
                                                                                      {"F:", root.Path(), "extra"}})
        EXPECT_EQ(Run(args), 1) << args[0];
    EXPECT_FALSE(fs::exists(root / "x"));

    // A directory of the user's that happens to carry a drive's name stays.
    fs::create_directories(root / "Drives/G");
    test::WriteFile(root / "Drives/G/keep", "k");
    EXPECT_EQ(Run({"G:", "/D"}), 1);
    EXPECT_TRUE(fs::exists(root / "Drives/G/keep"));
}

}  // namespace
}  // namespace vollum
