// The small parts of a parallel run: the lines between the run and its
// workers carry any bytes a path may hold, and the run's meter adds up all
// connections.
#include <gtest/gtest.h>

#include "unattended/RunMeter.h"
#include "unattended/WorkerLines.h"

namespace vollum {
namespace {

TEST(WorkerLines, FieldsOfAnyBytesComeBackAsTheyWentAndSplitLinesAreWhole) {
    const std::vector<std::string> fields = {"J", "", "my file 100%.txt", std::string("a\nb\r\0c", 6),
                                             "gr\xc3\xbc\xc3\x9f" "e", "%", "%41", " lead"};
    const std::string line = JoinFields(fields);
    EXPECT_EQ(line.find('\n'), line.size() - 1);

    LineBuffer in;
    in.Add(line.data(), 5);  // a line in two reads, then two lines in one
    std::string got;
    EXPECT_FALSE(in.Next(got));
    const std::string rest = line.substr(5) + "R\n";
    in.Add(rest.data(), rest.size());
    ASSERT_TRUE(in.Next(got));
    std::vector<std::string> back;
    ASSERT_TRUE(SplitFields(got, back));
    EXPECT_EQ(back, fields);
    ASSERT_TRUE(in.Next(got));
    EXPECT_EQ(got, "R");
    EXPECT_FALSE(in.Next(got));

    for (const char* bad : {"%4", "%G1", "a%"}) EXPECT_FALSE(SplitFields(bad, back)) << bad;
}

// The window as the run meter last set it.
struct SeenView : MeterView {
    bool visible = false;
    std::string bytes, status, title;
    bool IsVisible() const override { return visible; }
    void ShowAndRaise() override { visible = true; }
    void Hide() override { visible = false; }
    void SetPosition(int) override {}
    void SetTitle(const std::string& text) override { title = text; }
    void SetBytesWritten(const std::string& text) override { bytes = text; }
    void SetStatus(const std::string& text) override { status = text; }
    void SetSpeed(const std::string&) override {}
    void SetTimeLeft(const std::string&) override {}
    void Repaint() override {}
};

TEST(RunMeter, ShowsTheBytesOfAllConnectionsAndTheFilesDoneOfFound) {
    SeenView window;
    RunMeter run(window);
    run.Found(1000);  // handed to workers
    run.Found(3000);
    run.Found(4000);  // stored over the run's own connection
    run.SetWorkersSending(500);
    run.SetBytesWritten("1000 of 4000");
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.bytes, "1500 of 8000");
    EXPECT_EQ(window.status, "Sent 0 of 3 files");
    EXPECT_EQ(window.title, "18% Complete");

    run.Hide();  // the own file ended: its bytes now count as done, not twice
    run.Done(4000);
    run.SetWorkersSending(0);
    run.Done(1000);
    run.Show();
    EXPECT_EQ(window.bytes, "5000 of 8000");
    EXPECT_EQ(window.status, "Sent 2 of 3 files");
    EXPECT_TRUE(window.visible);
    run.End();
    EXPECT_FALSE(window.visible);

    for (const auto& [text, count] : std::vector<std::pair<std::string, int64_t>>{
             {"123 of 456", 123}, {"", 0}, {"x1", 0}, {"99999999999999999999 of 1", 0}})
        EXPECT_EQ(RunMeter::LeadingCount(text), count) << text;
}

}  // namespace
}  // namespace vollum
