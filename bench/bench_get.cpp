// Retrieves one file with TFtpSession::ReceiveData, the routine behind the
// Get command, so downloads can be timed against other clients.
//
// usage: bench_get HOST PORT USER PASSWORD REMOTE LOCAL
// Exit 0 when LOCAL exists afterwards, 1 otherwise (the bench compares checksums).
#include <sys/stat.h>

#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "common/UserPrompts.h"
#include "ftp/MeterView.h"
#include "ftp/TFtpSession.h"

namespace {

// Stands in for the progress window: the engine does all its meter work, nothing is drawn.
class SilentMeter : public vollum::MeterView {
public:
    bool IsVisible() const override { return visible_; }
    void ShowAndRaise() override { visible_ = true; }
    void Hide() override { visible_ = false; }
    void SetPosition(int) override {}
    void SetTitle(const std::string&) override {}
    void SetBytesWritten(const std::string&) override {}
    void SetStatus(const std::string&) override {}
    void SetSpeed(const std::string&) override {}
    void SetTimeLeft(const std::string&) override {}
    void Repaint() override {}

private:
    bool visible_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: bench_get HOST PORT USER PASSWORD REMOTE LOCAL\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    vollum::ConsolePrompts prompts;
    vollum::TFtpSession session(prompts);
    SilentMeter meter;
    session.SetMeter(&meter);
    session.Settings.ProgramDir = "./";
    session.Settings.FtpTimeOut = 60;
    session.Settings.ConnectionTimeOut = 60;
    session.Settings.UseLogFile = false;
    session.ApplySettings();

    const std::string local = argv[6];
    if (!session.OpenControlConnection(argv[1], argv[2])) {
        std::fprintf(stderr, "bench_get: cannot connect to %s:%s\n", argv[1], argv[2]);
        return 1;
    }
    session.WaitGreeting();
    session.SendLogin(argv[3], argv[4], "");
    session.ReceiveData(argv[5], local, "TYPE I");
    session.Quit();
    struct stat st {};
    return ::stat(local.c_str(), &st) == 0 ? 0 : 1;
}
