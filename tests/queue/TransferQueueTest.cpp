// The transfer queue without a window: one item at a time, states, retry,
// cancel, and what a lost connection leaves waiting.
#include <QSignalSpy>
#include <vector>

#include "QueueFixture.h"

namespace vollum::test {
namespace {

// A job that does what the test says, on the real session.
class ScriptedJob : public QueueJob {
public:
    ScriptedJob(std::string name, std::function<bool(ScriptedJob&)> body) : name_(std::move(name)), body_(body) {}
    std::string Title() const override { return name_; }
    bool Upload() const override { return false; }
    bool Run() override {
        ++runs;
        return body_(*this);
    }
    void Stop() override { stopped = true; }
    void Fail(const std::string& why) { failure_ = why; }
    int runs = 0;
    bool stopped = false;

private:
    std::string name_;
    std::function<bool(ScriptedJob&)> body_;
};

class TransferQueueTest : public QueueFixture {
protected:
    ScriptedJob* AddJob(const std::string& name, std::function<bool(ScriptedJob&)> body, int* id = nullptr) {
        auto job = std::make_unique<ScriptedJob>(name, std::move(body));
        ScriptedJob* raw = job.get();
        const int added = queue.Add(std::move(job));
        if (id != nullptr) *id = added;
        return raw;
    }
    std::vector<std::string> order;
    int inside = 0;
};

TEST_F(TransferQueueTest, itemsRunOneAtATimeInOrderAndAFailedOneCanBeRetried) {
    QSignalSpy finished(&queue, &TransferQueue::itemFinished);
    bool secondTry = false;
    auto step = [this](const std::string& name, std::function<bool(ScriptedJob&)> result) {
        return [this, name, result](ScriptedJob& job) {
            EXPECT_EQ(inside++, 0) << "two items at once";
            order.push_back(name);
            EXPECT_EQ(session->FtpCommand("NOOP"), 2);  // the session is the job's
            RunEventsUntil([] { return false; }, 50);  // other items' timers get their chance meanwhile
            --inside;
            return result(job);
        };
    };
    int a = 0, b = 0, c = 0;
    AddJob("a", step("a", [](ScriptedJob&) { return true; }), &a);
    AddJob("b", step("b", [&secondTry](ScriptedJob& job) {
               job.Fail("refused");
               return secondTry;
           }), &b);
    AddJob("c", step("c", [](ScriptedJob&) { return true; }), &c);
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(StateOf(a), QueueState::Done);
    EXPECT_EQ(StateOf(b), QueueState::Failed);
    EXPECT_EQ(TransferQueue::StateText(*queue.Find(b)), "Failed: refused");
    EXPECT_EQ(StateOf(c), QueueState::Done);
    EXPECT_EQ(finished.count(), 3);

    secondTry = true;
    queue.Retry(b);
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(StateOf(b), QueueState::Done);
    EXPECT_EQ(order.back(), "b");
    EXPECT_EQ(finished.count(), 4);
    EXPECT_TRUE(finished.last().at(1).toBool());
}

TEST_F(TransferQueueTest, cancelAllStopsTheRunningItemAndEmptiesTheQueue) {
    int later = 0;
    ScriptedJob* running = AddJob("long", [this](ScriptedJob& job) {
        // Cancel All arrives while this item waits, as a click would.
        QTimer::singleShot(100, &queue, [this] { queue.CancelAll(); });
        RunEventsUntil([&job] { return job.stopped; }, 10000);
        return true;  // a stopped item never counts as done
    });
    AddJob("later", [&later](ScriptedJob&) { return ++later > 0; });
    ASSERT_TRUE(RunQueue());
    EXPECT_TRUE(running != nullptr);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(later, 0);
    EXPECT_TRUE(session->Connected());
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);  // the session goes on
}

TEST_F(TransferQueueTest, cancelOfTheRunningItemFailsItAndTheNextOneRuns) {
    int first = 0, second = 0;
    AddJob("first", [this, &first](ScriptedJob& job) {
        QTimer::singleShot(100, &queue, [this, &first] { queue.Cancel(first); });
        RunEventsUntil([&job] { return job.stopped; }, 10000);
        return true;
    }, &first);
    AddJob("second", [](ScriptedJob&) { return true; }, &second);
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(TransferQueue::StateText(*queue.Find(first)), "Failed: Cancelled");
    EXPECT_EQ(StateOf(second), QueueState::Done);
}

TEST_F(TransferQueueTest, itemsWaitForALostConnectionAndRetryReconnects) {
    int failing = 0, waiting = 0;
    AddJob("cut", [this](ScriptedJob&) {
        session->Control().Disconnect();  // as a server that went away
        return false;
    }, &failing);
    AddJob("after", [](ScriptedJob&) { return true; }, &waiting);
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(TransferQueue::StateText(*queue.Find(failing)), "Failed: Connection lost");
    EXPECT_EQ(StateOf(waiting), QueueState::Pending);
    EXPECT_TRUE(queue.Waiting());
    EXPECT_EQ(queue.data(queue.index(queue.RowOf(waiting), TransferQueue::StateColumn), Qt::DisplayRole).toString(),
              "Waiting for a connection");

    int reconnects = 0;
    queue.Reconnect = [this, &reconnects] {
        ++reconnects;
        return LogIn();
    };
    queue.Retry(waiting);
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(reconnects, 1);
    EXPECT_EQ(StateOf(waiting), QueueState::Done);
}

}  // namespace
}  // namespace vollum::test
