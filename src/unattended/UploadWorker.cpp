#include "unattended/UploadWorker.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "common/UserPrompts.h"
#include "config/ProgramDir.h"
#include "config/StartupReading.h"
#include "ftp/TFtpSession.h"
#include "platform/PipeIo.h"
#include "socket/EventWait.h"
#include "unattended/ExitCodes.h"
#include "unattended/ParallelRun.h"
#include "unattended/ProfileSecrets.h"
#include "unattended/RunMeter.h"
#include "unattended/TUnattended.h"
#include "unattended/WorkerLines.h"

namespace vollum {

namespace {

// Lines wait here until a file is done, so that the run wakes once per file;
// progress goes out at most every 100 ms while a long file is sent.
std::string pendingLines;
auto lastSent = std::chrono::steady_clock::now();

void SayNow() {
    WriteStandardOutput(pendingLines.data(), pendingLines.size());
    pendingLines.clear();
    lastSent = std::chrono::steady_clock::now();
}

void Say(const std::vector<std::string>& fields, bool now = true) {
    pendingLines += JoinFields(fields);
    if (now || std::chrono::steady_clock::now() - lastSent >= std::chrono::milliseconds(100)) SayNow();
}

// The worker's progress window: the bytes of the file in hand, to the run.
class PipeMeter : public MeterView {
public:
    bool IsVisible() const override { return true; }
    void ShowAndRaise() override {}
    void Hide() override {}
    void SetPosition(int) override {}
    void SetTitle(const std::string&) override {}
    void SetBytesWritten(const std::string& text) override {
        Say({"P", std::to_string(RunMeter::LeadingCount(text))}, false);
    }
    void SetStatus(const std::string&) override {}
    void SetSpeed(const std::string&) override {}
    void SetTimeLeft(const std::string&) override {}
    void Repaint() override {}
};

}  // namespace

class UploadWorker {
public:
    UploadWorker(TUnattended& run, TFtpSession& session) : run_(run), s_(session) {}
    int Run();

private:
    // False when the connection is gone and the worker should end.
    bool Store(const std::vector<std::string>& fields);

    TUnattended& run_;
    TFtpSession& s_;
};

int UploadWorker::Run() {
    const StartupValues& v = s_.Settings;
    run_.BeginRun(false);
    if (!run_.Login(v.Port, v.HostName, v.UserName, v.Password)) return kExitNoConnection;
    // Where a refused CWD sends the worker back to.
    run_.NotePwd(s_.FtpCommand("PWD"));
    Say({"R"});

    EventWait wait;
    LineBuffer in;
    char buffer[4096];
    for (;;) {
        if (wait.Wait(kStandardInput, WaitFor::Read, 0) != WaitResult::Ready) return kExitNormal;
        const long n = ReadAvailable(kStandardInput, buffer, sizeof buffer);
        if (n <= 0) return kExitNormal;  // the run has ended
        in.Add(buffer, static_cast<size_t>(n));
        std::string line;
        while (in.Next(line)) {
            std::vector<std::string> fields;
            if (!SplitFields(line, fields) || fields.size() < 8 || fields[0] != "J") continue;
            if (!Store(fields)) return kExitNoConnection;
        }
    }
}

bool UploadWorker::Store(const std::vector<std::string>& fields) {
    const std::string& id = fields[1];
    const std::string& mode = fields[2];
    const std::string& path = fields[3];
    const std::string& remoteName = fields[4];
    const std::string& linkRoot = fields[5];
    const std::string& linkWhy = fields[6];
    const std::string& count = fields[7];
    size_t depth = 0;
    for (const char c : count) depth = c >= '0' && c <= '9' && depth < 1000 ? depth * 10 + (c - '0') : SIZE_MAX;
    if (count.empty() || depth == SIZE_MAX || fields.size() != 8 + depth) {
        Say({"D", id, "kept"});
        return true;
    }
    const std::vector<std::string> dir(fields.begin() + 8, fields.end());
    // Links outside the spool or the dropped directory are kept, as in a serial run.
    run_.ConfineLinks(linkRoot, linkWhy);

    bool stored = false;
    FileIdentity before, after;
    const bool known = ReadIdentity(path, before);
    if (!run_.runStopped_ && run_.MoveRemote(dir)) {
        // The same one-file store as a serial run: SIZE before deletion with "S".
        run_.deletesStored_ = mode == "S";
        stored = mode == "P" ? s_.StoreFile(s_.Settings.TypeCommand, path, remoteName)
                             : run_.StoreRecorded(path, remoteName);
    }
    if (!s_.Connected()) {
        Say({"D", id, "lost"});
        return false;
    }
    // The identity the store saw: a file changed just before it is kept, never deleted.
    if (!stored || !known || !ReadIdentity(path, after) || !(after == before)) {
        Say({"D", id, "kept"});
        return !run_.runStopped_;
    }
    Say({"D", id, "ok", std::to_string(before.device), std::to_string(before.inode), std::to_string(before.size),
         std::to_string(before.mtimeSec), std::to_string(before.mtimeNsec)});
    return true;
}

bool UploadWorkerRequested() { return qEnvironmentVariableIsSet(ParallelRun::kWorkerVariable); }

int RunUploadWorker(char* argv0) {
    int argc = 1;
    char* argv[] = {argv0, nullptr};
    QCoreApplication app(argc, argv);
    ConsolePrompts prompts;
    TFtpSession session(prompts);
    try {
        const std::string dir = ProgramDirectory();
        session.UseProgramDirectory(dir);
        ReadStartupValues(dir, prompts, session.Settings);
        session.ApplySettings();
        // From the keyring as the run itself got it; the run has logged why when it did not.
        if (!TakeRunPassword(session.Settings).empty()) return kExitStartupFailed;
    } catch (const VollumError&) {
        return kExitStartupFailed;
    }
    // The run writes the records, in the order its files complete.
    session.Output().LogSink = [](const std::string& text) { Say({"L", text}, false); };
    PipeMeter meter;
    session.SetMeter(&meter);
    TUnattended run(session);
    UploadWorker worker(run, session);
    int code = kExitStartupFailed;
    try {
        code = worker.Run();
    } catch (const VollumError&) {
    }
    SayNow();
    return code;
}

}  // namespace vollum
