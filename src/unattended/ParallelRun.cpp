#include "unattended/ParallelRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "common/Convert.h"
#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"
#include "unattended/RunMeter.h"

namespace vollum {

namespace {

using Clock = std::chrono::steady_clock;

// Each wait of the run is also cut short by every message from a worker.
constexpr int64_t kWaitSliceMs = 1000;

// Workers start only once the run has gone on this long: a run that ends
// sooner would spend more on starting processes and logins than they save.
constexpr auto kWorkersAfter = std::chrono::milliseconds(150);

// Files given to a worker at once: the one in hand and the next. More would
// only strand files with a slow connection while others idle; so would a
// file queued behind a large one, whose pipe round trip saves nothing.
constexpr size_t kQueueDepth = 2;
constexpr int64_t kQueuedBehindBytes = 1 << 20;

// A number a worker sent, any signed or unsigned 64-bit value; false for anything else.
template <typename T>
bool FieldNumber(const std::string& field, T& value) {
    static_assert(std::is_integral_v<T>);
    const bool negative = std::is_signed_v<T> && !field.empty() && field[0] == '-';
    const size_t first = negative ? 1 : 0;
    if (field.size() <= first) return false;
    // Accumulated away from zero in the value's own direction, so the lowest value fits too.
    T result = 0;
    for (size_t i = first; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9') return false;
        const T digit = static_cast<T>(c - '0');
        if (negative) {
            if (result < (std::numeric_limits<T>::min() + digit) / 10) return false;
            result = static_cast<T>(result * 10 - digit);
        } else {
            if (result > (std::numeric_limits<T>::max() - digit) / 10) return false;
            result = static_cast<T>(result * 10 + digit);
        }
    }
    value = result;
    return true;
}

const char* ModeField(PutMode mode, bool deletesStored) {
    if (mode == PutMode::Plain) return "P";
    return deletesStored ? "S" : "R";
}

// Workers log in with the last-used profile as VOLLUM.INI holds it; a
// window's session may have been opened with values never saved there.
bool WorkersMeetSameServer(const StartupValues& v) {
    const TIniFile ini(v.ProgramDir + "VOLLUM.INI");
    const std::string name = ini.ReadString("LastUsed", "NAME", "");
    if (name.empty() || name != v.ProfileName) return false;
    return ini.ReadString(name, "HostName", "") == v.HostName && ini.ReadString(name, "Port", "") == v.Port &&
           ini.ReadString(name, "UserName", "") == v.UserName && ini.ReadString(name, "Password", "") == v.Password;
}

}  // namespace

std::unique_ptr<ParallelRun> ParallelRun::StartFor(TUnattended& run) {
    const int connections = run.s_.Settings.Connections;
    if (connections <= 1) return nullptr;
    if (!run.workerBase_.empty() && !WorkersMeetSameServer(run.s_.Settings)) return nullptr;
    // The walk starts at once: the run's own connection stores files until workers are in.
    return std::unique_ptr<ParallelRun>(new ParallelRun(run, connections - 1));
}

ParallelRun::ParallelRun(TUnattended& run, int workers) : run_(run) {
    TFtpSession& s = run_.s_;
    window_ = s.Meter().View();
    if (window_ != nullptr) {
        meter_ = std::make_unique<RunMeter>(*window_);
        s.SetMeter(meter_.get());
    }
    run_.parallel_ = this;
    // On a timer, so that they start even while the run's own connection is busy with a long file.
    startTimer_.setSingleShot(true);
    QObject::connect(&startTimer_, &QTimer::timeout, [this, workers] { StartWorkers(workers); });
    startTimer_.start(kWorkersAfter);
}

ParallelRun::~ParallelRun() {
    startTimer_.stop();
    run_.parallel_ = nullptr;
    for (auto& w : workers_) {
        w->process->disconnect();
        if (w->process->state() != QProcess::NotRunning) {
            w->process->kill();
            w->process->waitForFinished(5000);
        }
        delete w->process;
    }
    if (meter_) {
        meter_->End();
        // The window the run began with comes back for what follows.
        run_.s_.SetMeter(window_);
    }
}

void ParallelRun::StartWorkers(int count) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kWorkerVariable, "1");
    for (int i = 0; i < count; ++i) {
        auto w = std::make_unique<Worker>();
        Worker* wp = w.get();
        w->process = new QProcess;
        w->process->setProcessEnvironment(env);
        QObject::connect(w->process, &QProcess::readyReadStandardOutput, [this, wp] { OnOutput(*wp); });
        QObject::connect(w->process, &QProcess::readyReadStandardError, [wp] {
            // What a worker says before its login is the refusal the run reports as a count.
            const QByteArray text = wp->process->readAllStandardError();
            if (wp->ready) std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
        });
        QObject::connect(w->process, &QProcess::finished, [this, wp] { OnGone(*wp); });
        QObject::connect(w->process, &QProcess::errorOccurred, [this, wp](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart) OnGone(*wp);
        });
        workers_.push_back(std::move(w));
        wp->process->start(QCoreApplication::applicationFilePath(), {});
    }
}

bool ParallelRun::LoginsPending() const {
    return std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return !w->ready && !w->gone; });
}

void ParallelRun::AwaitLogins() {
    // Each worker's own time-outs bound its login; this only guards against one that hangs.
    const auto deadline =
        Clock::now() + std::chrono::seconds(2 * std::max(run_.s_.Settings.ConnectionTimeOut, 10) + 10);
    while (LoginsPending() && Clock::now() < deadline) {
        if (wait_.Wait(-1, WaitFor::Read, kWaitSliceMs) == WaitResult::Cancelled && QCoreApplication::closingDown())
            break;
    }
    for (auto& w : workers_)
        if (!w->ready && !w->gone) w->process->kill();
    ReportRefusals();
}

void ParallelRun::ReportRefusals() {
    // Said once, at a point of the walk between commands (never from inside a wait).
    if (reported_ || workers_.empty() || LoginsPending()) return;
    reported_ = true;
    const auto ready = std::count_if(workers_.begin(), workers_.end(), [](const auto& w) { return w->loggedIn; });
    if (ready == static_cast<long>(workers_.size())) return;
    // Not an error: the run goes on with the connections it has.
    const std::string text = "The server allows " + std::to_string(ready + 1) + " connections";
    run_.s_.ShowLine("%s", {text});
    run_.s_.LogLine(text);
}

bool ParallelRun::Worker::Takes() const {
    if (!ready || gone) return false;
    return jobs.empty() || (jobs.size() < kQueueDepth && jobs.back().size <= kQueuedBehindBytes);
}

bool ParallelRun::HandOut(const std::string& path, const std::string& remoteName, const std::string& logText,
                          PutMode mode) {
    ReportRefusals();
    if (!pending_.empty()) return false;
    // An idle worker first, then one whose queue has room.
    Worker* free = nullptr;
    for (const auto& w : workers_)
        if (w->Takes() && (free == nullptr || w->jobs.size() < free->jobs.size())) free = w.get();
    if (free == nullptr) return false;
    Job job;
    job.id = nextId_++;
    job.path = path;
    job.remoteName = remoteName;
    job.logText = logText;
    job.mode = mode;
    // A window's run starts wherever its user was: workers go there by absolute path first.
    if (!run_.workerBase_.empty()) job.dir.push_back(run_.workerBase_);
    job.dir.insert(job.dir.end(), run_.remotePath_.begin(), run_.remotePath_.end());
    job.spoolTop = run_.spoolTop_;
    job.linkRoot = run_.linkRoot_;
    job.linkWhy = run_.linkOutsideWhy_;
    FileIdentity identity;
    if (ReadIdentity(path, identity)) job.size = identity.size;
    if (meter_) meter_->Found(job.size);
    Give(*free, std::move(job));
    return true;
}

void ParallelRun::Give(Worker& w, Job job) {
    std::vector<std::string> fields = {"J",
                                       std::to_string(job.id),
                                       ModeField(job.mode, run_.deletesStored_),
                                       job.path,
                                       job.remoteName,
                                       job.linkRoot,
                                       job.linkWhy,
                                       std::to_string(job.dir.size())};
    fields.insert(fields.end(), job.dir.begin(), job.dir.end());
    const std::string line = JoinFields(fields);
    if (w.jobs.empty()) {
        w.records.clear();
        w.sent = 0;
    }
    w.jobs.push_back(std::move(job));
    w.process->write(line.data(), static_cast<qint64>(line.size()));
}

void ParallelRun::GivePending() {
    for (auto& w : workers_) {
        while (!pending_.empty() && w->Takes()) {
            Job job = std::move(pending_.front());
            pending_.pop_front();
            Give(*w, std::move(job));
        }
    }
}

void ParallelRun::OnOutput(Worker& w) {
    const QByteArray bytes = w.process->readAllStandardOutput();
    w.out.Add(bytes.constData(), static_cast<size_t>(bytes.size()));
    std::string line;
    while (w.out.Next(line)) OnLine(w, line);
    Wake();
}

void ParallelRun::OnLine(Worker& w, const std::string& line) {
    std::vector<std::string> fields;
    if (!SplitFields(line, fields) || fields.empty()) return;
    const std::string& kind = fields[0];
    if (kind == "R" && !w.gone) {
        w.ready = true;
        w.loggedIn = true;
        GivePending();
    } else if (kind == "L" && fields.size() == 2 && !w.jobs.empty()) {
        w.records.push_back(fields[1]);
    } else if (kind == "P" && fields.size() == 2 && !w.jobs.empty()) {
        if (!FieldNumber(fields[1], w.sent)) w.sent = 0;
        ShowProgress();
    } else if (long id = 0; kind == "D" && !w.jobs.empty() && fields.size() >= 3 && FieldNumber(fields[1], id) &&
                            id == w.jobs.front().id) {
        Complete(w, fields);
    }
}

void ParallelRun::Complete(Worker& w, const std::vector<std::string>& fields) {
    const std::string& status = fields[2];
    if (status == "lost") {
        HandBack(w);
        w.ready = false;  // it ends itself; nothing more goes to it
        return;
    }
    FileIdentity identity;
    const bool stored = status == "ok" && fields.size() == 8 && FieldNumber(fields[3], identity.device) &&
                        FieldNumber(fields[4], identity.inode) && FieldNumber(fields[5], identity.size) &&
                        FieldNumber(fields[6], identity.mtimeSec) && FieldNumber(fields[7], identity.mtimeNsec);
    Job job = std::move(w.jobs.front());
    w.jobs.pop_front();
    Log(job.logText);
    for (const std::string& record : w.records) Log(record);
    w.records.clear();
    w.sent = 0;
    if (status == "ok" && !stored) {
        // Never taken for "kept" in silence: the file stays, and the run says why.
        const std::string text = "Kept " + ControlChannel::Printable(job.path) + ": its worker's report did not read";
        run_.s_.ShowLine("%s", {text});
        Log(text);
    }
    Record(job, stored, identity);
    GivePending();
}

void ParallelRun::Record(const Job& job, bool stored, const FileIdentity& identity) {
    if (meter_) {
        meter_->Done(job.size);
        ShowProgress();
    }
    if (stored) ++run_.Report.filesSent;
    if (!stored) {
        run_.SomethingKept = true;
        run_.Report.Keep(job.path, kNotStoredWhole);
        if (!job.spoolTop.empty()) run_.incompleteSpoolDirs_.insert(job.spoolTop);
        return;
    }
    if (job.mode == PutMode::Plain) return;
    run_.stored_.Add(job.path, identity);
    if (job.mode == PutMode::SpoolTop) run_.DeleteStoredTop(job.path);
}

void ParallelRun::HandBack(Worker& w) {
    if (w.jobs.empty()) return;
    for (const std::string& record : w.records) Log(record);
    w.records.clear();
    w.sent = 0;
    Log("A connection was lost while it sent " + w.jobs.front().path + "; the file goes again");
    // Ahead of the rest, in the order they were found.
    while (!w.jobs.empty()) {
        pending_.push_front(std::move(w.jobs.back()));
        w.jobs.pop_back();
    }
}

void ParallelRun::Log(const std::string& text) {
    if (holding_) {
        held_.push_back(text);
        return;
    }
    run_.s_.LogLine(text);
}

void ParallelRun::BeginOwnStore(const std::string& path) {
    holding_ = true;
    FileIdentity identity;
    ownSize_ = ReadIdentity(path, identity) ? identity.size : 0;
    if (meter_) meter_->Found(ownSize_);
}

void ParallelRun::EndOwnStore() {
    holding_ = false;
    if (meter_) meter_->Done(ownSize_);
    std::vector<std::string> held;
    held.swap(held_);
    for (const std::string& text : held) run_.s_.LogLine(text);
}

void ParallelRun::OnGone(Worker& w) {
    if (w.gone) return;
    w.gone = true;
    w.ready = false;
    HandBack(w);
    GivePending();
    Wake();
}

bool ParallelRun::Busy() const {
    return std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return !w->jobs.empty() && !w->gone; });
}

bool ParallelRun::AnyAlive() const {
    return std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return w->ready && !w->gone; });
}

void ParallelRun::ShowProgress() {
    if (!meter_) return;
    int64_t sending = 0;
    for (const auto& w : workers_) sending += w->sent;
    meter_->SetWorkersSending(sending);
    meter_->Show();
}

void ParallelRun::Finish() {
    startTimer_.stop();  // a run over this soon needs no more connections
    AwaitLogins();
    while (Busy() || (!pending_.empty() && AnyAlive())) {
        if (wait_.Wait(-1, WaitFor::Read, kWaitSliceMs) == WaitResult::Cancelled && QCoreApplication::closingDown())
            break;
    }
    // Handed back with no worker left: the run's own connection takes them.
    while (!pending_.empty()) {
        Job job = std::move(pending_.front());
        pending_.pop_front();
        StoreHere(job);
    }
    EndWorkers();
    for (const std::string& dir : run_.incompleteSpoolDirs_) run_.completeSpoolDirs_.erase(dir);
}

void ParallelRun::StoreHere(const Job& job) {
    TFtpSession& s = run_.s_;
    if (run_.runStopped_ || !run_.StillConnected() || !run_.MoveRemote(job.dir)) {
        Record(job, false, {});
        return;
    }
    s.LogLine(job.logText);
    // The one-file store of a serial run, confined as it was when the file was found;
    // a recorded one is in stored_ once it returns true.
    s.ConfineStores(job.linkRoot, job.linkWhy);
    const bool stored = job.mode == PutMode::Plain ? s.StoreFile(s.Settings.TypeCommand, job.path, job.remoteName)
                                                   : run_.StoreRecorded(job.path, job.remoteName);
    s.ConfineStores(run_.linkRoot_, run_.linkOutsideWhy_);
    if (!stored) {
        Record(job, false, {});
        return;
    }
    if (meter_) meter_->Done(job.size);
    if (job.mode == PutMode::SpoolTop) run_.DeleteStoredTop(job.path);
}

void ParallelRun::EndWorkers() {
    // A closed input ends a worker; its connection goes with it.
    for (auto& w : workers_)
        if (!w->gone) w->process->closeWriteChannel();
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    auto running = [this] {
        return std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return !w->gone; });
    };
    while (running() && Clock::now() < deadline) {
        if (wait_.Wait(-1, WaitFor::Read, kWaitSliceMs) == WaitResult::Cancelled && QCoreApplication::closingDown())
            break;
    }
}

}  // namespace vollum
