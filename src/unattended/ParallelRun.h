#pragma once
// A spool or drop run over several connections (profile key Connections > 1).
// The run's own connection walks the tree as ever: it makes and enters every
// remote directory before a file of it is handed out, and stores a file
// itself when no worker is free. Each upload worker is the same program
// started again with VOLLUM_UPLOAD_WORKER=1: it logs in with the same
// profile and stores one file at a time, told over its standard input (the
// next one already queued there), through
// the same one-file store a serial run uses (UploadWorker.cpp). Processes, not
// threads: every connection keeps its one event-loop wait, in a process of its
// own. Results come back over the pipe while the run waits on its own
// connection; this side writes VOLLUM.LOG in completion order, records what is
// stored, and deletes a top-level spool file only on its worker's whole store.
#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/LocalFiles.h"
#include "socket/EventWait.h"
#include "unattended/TUnattended.h"
#include "unattended/WorkerLines.h"

class QProcess;

namespace vollum {

class MeterView;
class RunMeter;

class ParallelRun {
public:
    // The environment variable that makes the program an upload worker.
    static constexpr const char* kWorkerVariable = "VOLLUM_UPLOAD_WORKER";

    // Nothing with Connections 1. Else the workers start after a short while,
    // and log in while the walk goes on.
    static std::unique_ptr<ParallelRun> StartFor(TUnattended& run);
    ~ParallelRun();
    ParallelRun(const ParallelRun&) = delete;
    ParallelRun& operator=(const ParallelRun&) = delete;

    // Gives the file to a free worker; false when none is free.
    bool HandOut(const std::string& path, const std::string& remoteName, const std::string& logText, PutMode mode);
    // Around a file the run's own connection stores: its bytes count in the
    // run's progress, and the records of files that workers complete
    // meanwhile wait, so that each file's records stay together.
    void BeginOwnStore(const std::string& path);
    void EndOwnStore();
    // Waits for the files in the workers' hands; what none could take is
    // stored over the run's own connection. Ends the workers.
    void Finish();

private:
    struct Job {
        long id = 0;
        std::string path, remoteName, logText;
        PutMode mode = PutMode::Plain;
        std::vector<std::string> dir;  // remote directories below the start
        std::string spoolTop;
        // The walk's confinement when the file was found: a drop run moves it per argument.
        std::string linkRoot, linkWhy;
        int64_t size = 0;
    };
    struct Worker {
        QProcess* process = nullptr;
        LineBuffer out;
        bool ready = false;  // logged in and free for a file when job is empty
        bool gone = false;
        bool loggedIn = false;  // it said "R" once
        // In the order given; the first is in hand, the next waits in its
        // pipe so that the worker never idles while this side is busy.
        std::deque<Job> jobs;
        std::vector<std::string> records;  // log records of the file in hand
        int64_t sent = 0;                  // bytes of the file in hand sent so far
        // Free, or with room in its queue behind files that are soon sent.
        bool Takes() const;
    };

    ParallelRun(TUnattended& run, int workers);
    void StartWorkers(int count);
    bool LoginsPending() const;
    // Waits for the workers still logging in; then ReportRefusals.
    void AwaitLogins();
    // Logs "The server allows n connections" once every login is decided and some failed.
    void ReportRefusals();
    void Give(Worker& w, Job job);
    void GivePending();
    void OnOutput(Worker& w);
    void OnLine(Worker& w, const std::string& line);
    void OnGone(Worker& w);
    void Complete(Worker& w, const std::vector<std::string>& fields);
    void HandBack(Worker& w);
    void Record(const Job& job, bool stored, const FileIdentity& identity);
    void StoreHere(const Job& job);
    void EndWorkers();
    bool Busy() const;
    bool AnyAlive() const;
    void Wake() { wait_.Cancel(); }
    void Log(const std::string& text);
    void ShowProgress();

    TUnattended& run_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::deque<Job> pending_;  // handed back by a lost connection
    EventWait wait_;
    long nextId_ = 1;
    QTimer startTimer_;
    bool holding_ = false;
    bool reported_ = false;
    int64_t ownSize_ = 0;
    std::vector<std::string> held_;
    std::unique_ptr<RunMeter> meter_;
    MeterView* window_ = nullptr;  // the session's own, given back at the end
};

}  // namespace vollum
