#pragma once
// A client engine wired for tests: scripted prompts, a program directory in a
// temporary folder, the log on, short time-outs, and program termination
// turned into an exception the test can catch.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ftp/TFtpSession.h"
#include "support/FakeFtpServer.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace vollum::test {

struct ProgramEnded {
    int exitCode;
};

// Installs a terminate handler that throws ProgramEnded for the lifetime of the object.
class CatchTermination {
public:
    CatchTermination();
    ~CatchTermination();
};

// Records what the engine shows in the progress window.
class RecordingMeter : public MeterView {
public:
    bool visible = false;
    int position = 0;
    int repaints = 0;
    std::vector<std::string> titles;
    std::string bytesWritten, status, speed, timeLeft = "1";
    bool IsVisible() const override { return visible; }
    void ShowAndRaise() override { visible = true; }
    void Hide() override { visible = false; }
    void SetPosition(int p) override { position = p; }
    void SetTitle(const std::string& t) override { titles.push_back(t); }
    void SetBytesWritten(const std::string& t) override { bytesWritten = t; }
    void SetStatus(const std::string& t) override { status = t; }
    void SetSpeed(const std::string& t) override { speed = t; }
    void SetTimeLeft(const std::string& t) override { timeLeft = t; }
    void Repaint() override { ++repaints; }
};

class SessionFixture : public ::testing::Test {
protected:
    SessionFixture();
    // Connects the engine's control connection to host:port (Connected set on success).
    bool ConnectTo(int port, const std::string& host = "127.0.0.1");
    // Starts the script, connects and reads the greeting the script begins with.
    void Open(FakeFtpServer& server);
    // Every pane line, the pending one excluded.
    std::vector<std::string> PaneLines() const;
    // The pane lines from index `first` on.
    std::vector<std::string> PaneFrom(size_t first) const;
    std::string LogText() const;

    TempDir dir;
    ScriptedPrompts prompts;
    RecordingMeter meter;
    std::unique_ptr<TFtpSession> session;
    CatchTermination catchTermination;
};

}  // namespace vollum::test
