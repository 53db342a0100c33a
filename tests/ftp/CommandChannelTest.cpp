// Commands out and replies in, against the scriptable fake server and, for the
// login, against pyftpdlib. Each test reads as a transcript: script, then pane.
#include <chrono>
#include <thread>

#include "common/Errors.h"
#include "support/EventHelpers.h"
#include "support/FakeFtpServer.h"
#include "support/PyFtpServer.h"
#include "support/SessionFixture.h"

namespace vollum::test {
namespace {

using Lines = std::vector<std::string>;

class CommandChannel : public SessionFixture {
protected:
    std::vector<bool> cursor;
    void RecordCursor() {
        session->Control().OnCursor = [this](bool busy) { cursor.push_back(busy); };
    }
};

TEST_F(CommandChannel, passwordIsMaskedInThePaneButSentAsTyped) {
    FakeFtpServer server;
    server.Reply("220 hi")
        .Expect("USER")
        .Reply("331 pw")
        .Expect("PASS")
        .Reply("230 in")
        .Expect("pass")
        .Reply("500 what")
        .Expect("ACCT")
        .Reply("202 fine")
        .Expect("PASS")
        .Reply("501 no");
    Open(server);
    EXPECT_EQ(session->FtpCommand("USER %s", {"bob"}), 3);
    EXPECT_EQ(session->FtpCommand("PASS %s", {"s3cret!"}), 2);
    EXPECT_EQ(session->FtpCommand("%s", {"pass lower"}), 5);
    EXPECT_EQ(session->FtpCommand("ACCT %s", {"acc"}), 2);
    EXPECT_EQ(session->FtpCommand("PASS"), 5);
    server.Finish();
    EXPECT_EQ(server.Commands(), (Lines{"USER bob", "PASS s3cret!", "pass lower", "ACCT acc", "PASS"}));
    EXPECT_EQ(PaneLines(), (Lines{"220 hi\r", "USER bob\r", "331 pw\r", "PASS xxxxxx\r", "230 in\r", "pass xxxxxx\r",
                                  "500 what\r", "ACCT xxxxxx\r", "202 fine\r", "PASS\r", "501 no\r"}));
}

TEST_F(CommandChannel, multiLineAndContinuationRepliesEndAtCodeAndBlank) {
    FakeFtpServer server;
    server.Reply("220-one")
        .Send(std::string("220-t\0wo\r\n", 10))
        .Reply("220 three")
        .Expect("HELP")
        .Reply("214-Commands:")
        .Reply(" USER PASS")
        .Reply("Help ends below")
        .Reply("214 End")
        .Expect("CWD")
        .Reply("230-Not the same code")
        .Reply("250 done")
        .Expect("RETR")
        .Reply("150-Opening")
        .Reply("150 data")
        .Reply("226 sent");
    Open(server);
    EXPECT_EQ(PaneLines(), (Lines{"220-one\r", "220-two\r", "220 three\r"}));  // NUL dropped
    EXPECT_EQ(session->FtpCommand("HELP"), 2);
    EXPECT_EQ(PaneFrom(3), (Lines{"HELP\r", "214-Commands:\r", " USER PASS\r", "Help ends below\r", "214 End\r"}));
    EXPECT_EQ(session->FtpCommand("CWD x"), 2);
    EXPECT_EQ(session->FtpCommand("RETR f"), 1);
    EXPECT_EQ(session->LastReply(), "150 data\r\n");
    EXPECT_EQ(session->GetReply(), 2);
    EXPECT_EQ(session->LastReply(), "226 sent\r\n");
    server.Finish();
    EXPECT_EQ(server.Failure(), "");
}

TEST_F(CommandChannel, replySplitAcrossSegmentsIsShownOnlyWhenCompleteAndWaitingSleeps) {
    FakeFtpServer server;
    server.Reply("220 hi").Expect("PWD").Send("257 \"/ho").Pause(800).Send("me\"\r").Pause(200).Send("\n");
    Open(server);
    Lines midway;
    std::string pendingMidway = "unset";
    QTimer::singleShot(400, [&] {
        midway = PaneLines();
        pendingMidway = session->Output().PendingLine();
    });
    const long cpuBefore = CpuMillis();
    EXPECT_EQ(session->FtpCommand("PWD"), 2);
    EXPECT_LT(CpuMillis() - cpuBefore, 150) << "the same bytes were peeked over and over";
    EXPECT_EQ(midway, (Lines{"220 hi\r", "PWD\r"}));
    EXPECT_EQ(pendingMidway, "");
    EXPECT_EQ(PaneFrom(2), (Lines{"257 \"/home\"\r"}));
    server.Finish();
}

TEST_F(CommandChannel, overlongLineIsShownInPiecesAndReadingGoesOn) {
    // The window boundary falls just before "200 trap": a reader that took
    // the second piece for a new line would end the reply there.
    const std::string first = "214-" + std::string(251, 'a') + "200 trap " + std::string(50, 'c');
    const std::string last = "226 " + std::string(400, 'b');
    FakeFtpServer server;
    server.Reply("220 hi").Expect("HELP").Reply(first).Reply(last).Expect("NOOP").Reply("200 ok");
    Open(server);
    EXPECT_EQ(session->FtpCommand("HELP"), 2);
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);
    server.Finish();
    EXPECT_EQ(server.Failure(), "");

    Lines pieces = PaneFrom(2);
    ASSERT_GE(pieces.size(), 6u);
    EXPECT_EQ(pieces.front(), first.substr(0, 255) + "\r");
    EXPECT_EQ(pieces.back(), "200 ok\r");
    pieces.resize(pieces.size() - 2);
    std::string joined;
    for (auto& piece : pieces) joined += piece.substr(0, piece.size() - 1);  // each ends in CR
    EXPECT_EQ(joined, first + last);                                         // no byte lost
}

TEST_F(CommandChannel, narrowPeekWindowStillEndsEveryLine) {
    FakeFtpServer server;
    server.Reply("220 hi").Expect("SYST").Reply("215 UNIX Type: L8 with a long tail").Expect("NOOP").Reply("200 ok");
    Open(server);
    session->Control().SetPeekWindow(16);
    EXPECT_EQ(session->FtpCommand("SYST"), 2);
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);
    EXPECT_EQ(PaneFrom(2), (Lines{"215 UNIX Type: L\r", "8 with a long ta\r", "il\r", "NOOP\r", "200 ok\r"}));
    server.Finish();
}

TEST_F(CommandChannel, serverClosingMidReplyEndsWith5AndClearsConnected) {
    FakeFtpServer server;
    server.Reply("220-first").Send("220-par").CloseControl();
    server.Start();
    ASSERT_TRUE(ConnectTo(server.Port()));
    EXPECT_EQ(session->GetReply(), 5);
    EXPECT_FALSE(session->Connected());
    EXPECT_FALSE(session->Control().SocketOpen());
    EXPECT_EQ(session->FtpCommand("PWD"), 5);
    EXPECT_EQ(PaneLines(),
              (Lines{"220-first\r", "220-par\r", "Connection closed by remote host\r", "PWD\r", "Not Connected\r"}));
    EXPECT_TRUE(prompts.shown.empty());
    server.Finish();
}

// A server that never greets, refuses, keeps saying it will be ready, or
// trickles a reply that never ends is left within the time-out, and no login
// follows.
TEST_F(CommandChannel, greetingMissingRefusedOrEndlessEndsTheConnectionWithinTheTimeOut) {
    // Lines of a reply that never ends, one every 200 ms for 3 s.
    const auto trickle = [](FakeFtpServer::Context& c) {
        for (int i = 0; i < 15; ++i) {
            c.Write(" more\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    };
    struct Case {
        const char* name;
        std::function<void(FakeFtpServer&)> script;
        bool greets;  // the greeting is fine; the endless reply answers the next command
        std::string lastLine;
    };
    const std::string endless = "The server's reply did not end within 1 seconds; disconnected\r";
    const Case cases[] = {
        {"silent", [](FakeFtpServer& s) { s.Pause(2000); }, false,
         "No greeting from 127.0.0.1; disconnected without logging in\r"},
        {"no line end", [](FakeFtpServer& s) { s.Send("220 hi").Pause(2000); }, false,
         "No greeting from 127.0.0.1; disconnected without logging in\r"},
        {"ready later, again and again", [](FakeFtpServer& s) {
             s.Do([](FakeFtpServer::Context& c) {
                 for (int i = 0; i < 10; ++i) {
                     c.Write("120 ready soon\r\n");
                     std::this_thread::sleep_for(std::chrono::milliseconds(300));
                 }
             });
         },
         false, "No greeting from 127.0.0.1; disconnected without logging in\r"},
        {"refused", [](FakeFtpServer& s) { s.Reply("421 busy").Pause(2000); }, false,
         "The server 127.0.0.1 refused the connection; disconnected\r"},
        {"endless greeting", [&](FakeFtpServer& s) { s.Reply("220-hi").Do(trickle); }, false, endless},
        {"endless reply", [&](FakeFtpServer& s) { s.Reply("220 hi").Expect("HELP").Reply("214-help").Do(trickle); },
         true, endless},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session->Control().SetTimeout(1);
        FakeFtpServer server;
        c.script(server);
        server.Start();
        ASSERT_TRUE(ConnectTo(server.Port()));
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(session->WaitGreeting(false), c.greets);
        if (c.greets) {
            EXPECT_EQ(session->FtpCommand("HELP"), 5);
        }
        EXPECT_LT(clock.elapsed(), 2800);
        EXPECT_FALSE(session->Connected());
        ASSERT_FALSE(PaneLines().empty());
        EXPECT_EQ(PaneLines().back(), c.lastLine);
        server.Finish();
        for (const std::string& command : server.Commands()) EXPECT_EQ(command, "HELP");
    }
}

TEST_F(CommandChannel, notConnectedShowsTheCommandThenNotConnected) {
    EXPECT_EQ(session->FtpCommand("PASS %s", {"secret"}), 5);
    EXPECT_EQ(PaneLines(), (Lines{"PASS xxxxxx\r", "Not Connected\r"}));
}

TEST_F(CommandChannel, commandDuringAWaitIsRefusedAndNothingIsSent) {
    FakeFtpServer server;
    server.Reply("220 hi").Expect("PWD").Pause(500).Reply("257 \"/\"").Expect("NOOP").Reply("200 ok");
    Open(server);
    RecordCursor();
    int inner = 0;
    QTimer::singleShot(100, [&] { inner = session->FtpCommand("CWD %s", {"elsewhere"}); });
    EXPECT_EQ(session->FtpCommand("PWD"), 2);
    EXPECT_EQ(inner, -1);
    EXPECT_EQ(PaneFrom(1), (Lines{"PWD\r", "Command already in progress, request ignored\r", "257 \"/\"\r"}));
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);  // had CWD gone out, the server would have read it here
    server.Finish();
    EXPECT_EQ(server.Failure(), "");
}

TEST_F(CommandChannel, timeOutShowsTheInterruptedPeekAndTheLateReplyIsNotTakenForTheNextCommand) {
    FakeFtpServer server;
    server.Reply("220 hi").Expect("PWD").Pause(1600).Reply("257 late").Expect("NOOP").Reply("200 ok");
    Open(server);
    session->Control().SetTimeout(1);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(session->FtpCommand("PWD"), 5);
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 1550);  // before the late reply
    // The time-out itself is silent; the interrupted peek is shown and logged.
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Error: 10004\r\nInterrupted system call");
    EXPECT_NE(LogText().find(" Error: 10004\r\nInterrupted system call Error\r\n"), std::string::npos) << LogText();
    EXPECT_FALSE(session->Control().AbortPending());

    RunEventsUntil([] { return false; }, 1000);  // the late reply arrives meanwhile
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);
    EXPECT_EQ(session->Control().LastSocketError(), 0);
    EXPECT_EQ(session->LastReply(), "200 ok\r\n");
    const Lines pane = PaneLines();
    EXPECT_EQ(Lines(pane.end() - 3, pane.end()), (Lines{"257 late\r", "NOOP\r", "200 ok\r"}));
    EXPECT_NE(LogText().find(" Unasked reply: 257 late\r\n"), std::string::npos) << LogText();
    server.Finish();
}

TEST_F(CommandChannel, errorEscapingACommandStillEndsItAndTheClosedSession) {
    FakeFtpServer server;
    server.Reply("220 hi").Expect("NOOP").CloseControl();
    Open(server);
    RecordCursor();
    session->Output().SetLogDirectory(dir / "missing/");  // "Connection closed..." cannot be logged
    EXPECT_THROW(session->FtpCommand("NOOP"), EInOutError);
    EXPECT_FALSE(session->CommandBusy());
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
    EXPECT_FALSE(session->Connected());
    EXPECT_EQ(session->FtpCommand("NOOP"), 5);
    EXPECT_EQ(PaneLines().back(), "Not Connected\r");
    server.Finish();
}

TEST_F(CommandChannel, socketErrorIsBoxedAndLoggedOverTwoLinesButTimeoutOnlyRaisesAbort) {
    const std::string before = SessionLog::TimeStamp();
    EXPECT_FALSE(session->OpenControlConnection("127.0.0.1", "1"));  // nothing listens on port 1
    const std::string after = SessionLog::TimeStamp();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Error: 10061\r\nConnection refused");
    EXPECT_EQ(prompts.shown[0].title, "Error");
    EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Exclamation);
    const std::string record = " Error: 10061\r\nConnection refused Error\r\n";
    EXPECT_TRUE(LogText() == before + record || LogText() == after + record) << LogText();

    session->Control().SocketErrorOccurred(10060, "Blocking call timed out");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(session->Control().LastSocketError(), 0);
    EXPECT_TRUE(session->Control().AbortRequested());
    EXPECT_FALSE(session->Control().AbortRequested());
}

TEST_F(CommandChannel, replyAnAbortLeftUnreadIsReadBeforeTheNextCommand) {
    FakeFtpServer server;
    server.Reply("220 hi").Expect("NOOP").Pause(200).Reply("200 first").Expect("PWD").Reply("257 second");
    Open(server);
    session->Control().RequestAbort();
    EXPECT_EQ(session->FtpCommand("NOOP"), 5);
    EXPECT_EQ(session->FtpCommand("PWD"), 2);
    EXPECT_EQ(session->LastReply(), "257 second\r\n");
    EXPECT_EQ(PaneFrom(PaneLines().size() - 4), (Lines{"NOOP\r", "200 first\r", "PWD\r", "257 second\r"}));
    server.Finish();
}

TEST_F(CommandChannel, commandLinesWithLineBreaksAreNeverSent) {
    FakeFtpServer server;
    server.Reply("220 hi").Expect("NOOP").Reply("200 ok");
    Open(server);
    for (const std::string& line : {std::string("STOR x\nDELE k"), std::string("MKD a\r\nRMD b"),
                                    std::string("CWD a\rDELE b"), std::string("STOR a\0b", 8)})
        EXPECT_EQ(session->FtpCommand("%s", {line}), 5) << ControlChannel::Printable(line);
    EXPECT_EQ(session->FtpCommand("PASS se\ncret"), 5);
    EXPECT_EQ(session->FtpCommand("NOOP"), 2);
    server.Finish();
    EXPECT_EQ(server.Commands(), (Lines{"NOOP"}));
    const Lines pane = PaneLines();
    EXPECT_EQ(pane[pane.size() - 7], "Command not sent, it holds CR, LF or NUL: STOR x\\nDELE k\r");
    EXPECT_EQ(pane[pane.size() - 3], "Command not sent, it holds CR, LF or NUL: PASS xxxxxx\r");
    EXPECT_NE(LogText().find("Command not sent, it holds CR, LF or NUL: STOR a\\0b\r\n"), std::string::npos);
}

TEST_F(CommandChannel, loginAgainstRealServerAndPaneReplyCode) {
    PyFtpServer server;
    ASSERT_TRUE(ConnectTo(server.Port()));
    EXPECT_EQ(session->GetReply(), 2);
    EXPECT_EQ(session->FtpCommand("USER %s", {server.User()}), 3);
    EXPECT_EQ(session->FtpCommand("PASS %s", {server.Password()}), 2);
    EXPECT_EQ(session->PaneReplyCode(), 230);
    EXPECT_EQ(session->FtpCommand("CWD %s", {"no-such-dir"}), 5);
    EXPECT_EQ(session->PaneReplyCode(), 550);
    EXPECT_EQ(session->FtpCommand("QUIT"), 2);
    const Lines pane = PaneLines();
    EXPECT_EQ(Lines(pane.begin(), pane.begin() + 4),
              (Lines{"220 Vollum test server ready.\r", "USER " + server.User() + "\r", pane[2], "PASS xxxxxx\r"}));
    EXPECT_TRUE(prompts.shown.empty());

    session->Control().Disconnect();
    session->FtpCommand("PWD");
    try {
        session->PaneReplyCode();
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'Not' is not a valid integer value");
    }
}

TEST_F(CommandChannel, typeIsSentOnlyWhenItDiffersFromTheOneLastAccepted) {
    struct Step {
        std::string command;  // "quote ..." goes through FtpCommand, anything else through SetType
        std::string reply;    // empty: nothing may go on the wire
    };
    const std::vector<Step> steps = {
        {"TYPE I", "200 ok"},        // a new connection knows no type
        {"TYPE I", ""},              // accepted: not sent again
        {"TYPE A", "200 ok"},        // another type
        {"TYPE I", "504 no"},        // refused ...
        {"TYPE I", "200 ok"},        // ... so unknown: sent again
        {"quote type a", "200 ok"},  // a quoted TYPE counts too
        {"TYPE I", "200 ok"},
        {"quote REIN", "220 ok"},  // reinitialised: back to the default
        {"TYPE I", "200 ok"},
        {"TYPE I", ""},
    };
    auto run = [this](const Step& step) {
        if (step.command.rfind("quote ", 0) == 0) return session->FtpCommand("%s", {step.command.substr(6)});
        return session->Control().SetType(step.command);
    };
    FakeFtpServer server;
    server.Reply("220 hi");
    Lines sent;
    for (const Step& step : steps) {
        if (step.reply.empty()) continue;
        const std::string line = step.command.rfind("quote ", 0) == 0 ? step.command.substr(6) : step.command;
        server.Expect(line).Reply(step.reply);
        sent.push_back(line);
    }
    Open(server);
    for (const Step& step : steps) {
        const size_t before = PaneLines().size();
        const int result = run(step);
        EXPECT_EQ(result, step.reply.empty() ? 2 : step.reply[0] - '0') << step.command;
        // The pane shows only what went on the wire.
        EXPECT_EQ(PaneLines().size() - before, step.reply.empty() ? 0u : 2u) << step.command;
    }
    server.Finish();
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(server.Commands(), sent);

    // A new connection starts without a type.
    session->Control().Disconnect();
    FakeFtpServer next;
    next.Reply("220 hi").Expect("TYPE I").Reply("200 ok");
    Open(next);
    EXPECT_EQ(session->Control().SetType("TYPE I"), 2);
    next.Finish();
    EXPECT_EQ(next.Commands(), Lines{"TYPE I"});
}

}  // namespace
}  // namespace vollum::test
