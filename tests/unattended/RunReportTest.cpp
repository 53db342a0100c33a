// What the desktop notification at the end of a run says.
#include <gtest/gtest.h>

#include "unattended/RunReport.h"

namespace vollum::test {
namespace {

TEST(RunNotificationText, SentKeptAndTheError) {
    RunReport many;
    many.filesSent = 2;
    for (const char* name : {"a", "b", "c", "d", "e"}) many.Keep(std::string("/spool/") + name, "why " + std::string(name));
    many.Keep("/spool/a", "a second reason");  // a file is kept once, for its first reason
    struct Case {
        const char* name;
        RunReport report;
        const char* summary;
        const char* body;
    };
    const std::vector<Case> cases = {
        {"one file", {true, 1, {}, ""}, "Vollum sent 1 file", ""},
        {"nothing to send", {true, 0, {}, ""}, "Vollum sent 0 files", ""},
        {"no connection", {true, 0, {}, "Connection to h failed: Connection refused"}, "Vollum: nothing sent",
         "Connection to h failed: Connection refused"},
        {"lost half way", {true, 3, {{"/x/f", "it was not stored whole"}}, "Connection lost"},
         "Vollum sent 3 files, kept 1", "Connection lost\nKept f: it was not stored whole"},
        {"more kept than named", many, "Vollum sent 2 files, kept 5",
         "Kept a: why a\nKept b: why b\nKept c: why c\nand 2 files more, see VOLLUM.LOG"},
    };
    for (const Case& c : cases) {
        const NotificationText text = RunNotification(c.report);
        EXPECT_EQ(text.summary, c.summary) << c.name;
        EXPECT_EQ(text.body, c.body) << c.name;
    }
}

}  // namespace
}  // namespace vollum::test
