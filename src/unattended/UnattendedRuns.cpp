// The common login and the two unattended runs.
#include <filesystem>
#include <memory>

#include "common/Errors.h"
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "config/StartupReading.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "unattended/DirListing.h"
#include "unattended/ParallelRun.h"
#include "unattended/TUnattended.h"

namespace vollum {

TUnattended::TUnattended(TFtpSession& session) : s_(session) {}

std::string TUnattended::SpoolDirectory() const { return s_.Settings.ProgramDir + "COPY"; }

void TUnattended::RequestEnd() {
    const bool first = !EndRequested;
    EndRequested = true;
    if (first && OnEndRequested) OnEndRequested();
}

std::string TUnattended::RemoteName(const std::string& localName) const {
    return s_.Settings.UseLowerCase ? LowerCaseName(localName) : localName;
}

void TUnattended::BeginRun(bool deletesStored) {
    deletesStored_ = deletesStored;
    remotePath_.clear();
    takenNames_.clear();
    sharedNames_.Clear();
    heldBack_.clear();
    remoteStart_.clear();
    startKnown_ = false;
    walkAbandoned_ = false;
    runStopped_ = false;
    sizeUnsupported_ = false;
}

bool TUnattended::Login(const std::string& port, const std::string& host, const std::string& user,
                        const std::string& password) {
    const StartupValues& v = s_.Settings;
    s_.Pane().Clear();
    // The notice below says it once; the socket's own text goes to the log.
    s_.Control().SetErrorsQuiet(true);
    bool opened = false;
    try {
        opened = s_.OpenControlConnection(host, port);
    } catch (const EConvertError& e) {
        s_.Control().SetErrorsQuiet(false);
        throw EConvertError(e.Text(), ProfileKeyProblem("Port", v.ProfileName, v.ProgramDir + "VOLLUM.INI"));
    }
    s_.Control().SetErrorsQuiet(false);
    if (!opened) {
        s_.LogLine("Connection to " + host + "failed");
        const std::string why = s_.Control().LastErrorText();
        Report.error = "Connection to " + host + " failed" + (why.empty() ? "" : ": " + why);
        s_.Prompts.Notice(Format("Connection to %s failed", {host}));
        ConnectionFailed = true;
        return false;
    }
    const ControlChannel::Endpoints ends = s_.Control().Ends();
    s_.ShowLine("Local port: %s IP: %s connected to rmt port: %s IP: %s",
                {ends.localPort, ends.localAddress, ends.remotePort, ends.remoteAddress});
    s_.LogLine("Connected to " + s_.Control().HostName() + " as " + user);
    // Nobody is asked about a certificate here: an unverified one ends the run.
    if (!s_.WaitGreeting(false)) {
        s_.LogLine("Connection Failed");
        Report.error = "Connection to " + host + " failed";
        ConnectionFailed = true;
        return false;
    }
    s_.SendLogin(user, password, v.Account);
    if (!v.Directory.empty()) s_.FtpCommand("CWD %s", {RemoteName(v.Directory)});
    try {
        s_.CheckRemoteDir();
        if (!v.InitializeCommand.empty()) s_.FtpCommand("%s", {v.InitializeCommand});
        s_.CheckLogin();
    } catch (const EConvertError&) {
        // After a lost connection the pane ends in "Not Connected" or the close
        // notice, which carry no reply code: that is the closed connection below.
        if (s_.Connected()) throw;
    }
    if (!s_.Connected()) {
        s_.LogLine("Connection Failed");
        Report.error = "Connection to " + host + " failed";
        ConnectionFailed = true;
        return false;
    }
    return true;
}

bool TUnattended::MakeAndEnterDirectory(const std::string& name) {
    s_.LogLine("MakeDirectory " + name);
    s_.FtpCommand("MKD %s", {name});
    const int cwd = s_.FtpCommand("CWD %s", {name});
    s_.LogLine("ChangeDirectory " + name);
    return cwd == 2;
}

bool TUnattended::StoreRecorded(const std::string& path, const std::string& remoteName) {
    FileIdentity before, after;
    const bool known = ReadIdentity(path, before);
    const bool stored = s_.StoreFile(s_.Settings.TypeCommand, path, remoteName);
    if (!stored || !known || !ReadIdentity(path, after) || !(after == before)) {
        SomethingKept = true;
        return false;
    }
    // A data connection cut short can still end in 226 with a short file.
    if (deletesStored_ && !ServerHoldsWhole(RemoteName(remoteName), path, before.size)) return false;
    stored_.Add(path, before);
    return true;
}

void TUnattended::SendSpoolFiles(const std::string& port, const std::string& host, const std::string& user,
                                 const std::string& password) {
    RunLoggedIn(true, port, host, user, password, &TUnattended::SpoolWalk);
}

void TUnattended::RunLoggedIn(bool deletesStored, const std::string& port, const std::string& host,
                              const std::string& user, const std::string& password, void (TUnattended::*walk)()) {
    BeginRun(deletesStored);
    Report.ran = true;
    if (!Login(port, host, user, password)) return;
    // Connections > 1: upload workers take files while the walk goes on.
    const std::unique_ptr<ParallelRun> parallel = ParallelRun::StartFor(*this);
    // Whatever way the walk ends, later stores (a window's Put) read any file again.
    struct Unconfine {
        TUnattended& runs;
        ~Unconfine() { runs.ConfineLinks("", ""); }
    } unconfine{*this};
    try {
        (this->*walk)();
        if (parallel) parallel->Finish();
        if (deletesStored_) SettleSharedNames();
    } catch (const EConvertError&) {
        // A reply check that met the close notice instead of a reply.
        if (s_.Connected()) throw;
        StillConnected();
        if (parallel) parallel->Finish();
        // Without a connection nothing can be listed: every shared name is kept.
        if (deletesStored_) SettleSharedNames();
    }
    RequestEnd();
}

bool TUnattended::EnterNewRemoteDirectory(const std::string& name) {
    NotePwd(s_.FtpCommand("PWD"));
    s_.LogLine("PWD");
    if (runStopped_) return false;
    walkAbandoned_ = false;
    // A refused CWD leaves the tree for the next run, never in the wrong place.
    if (!MakeAndEnterDirectory(name)) {
        ReturnToStart();
        return false;
    }
    remotePath_.push_back(name);
    return true;
}

void TUnattended::SpoolWalk() {
    const std::string S = SpoolDirectory();
    ConfineLinks(S, "it links outside the spool");
    std::vector<DirEntry> entries;
    ListDirectory(S, entries);
    // A file whose name may be another's on the server waits for the run's end.
    std::vector<std::string> names;
    for (const DirEntry& e : entries) names.push_back(RemoteName(e.name));
    const std::set<std::string> sharing = SharedNames::Sharing(names);
    for (const DirEntry& e : entries)
        if (e.kind != EntryKind::Directory && sharing.count(RemoteName(e.name))) heldBack_.insert(S + kPathSep + e.name);
    for (const DirEntry& e : entries) {
        if (runStopped_ || !StillConnected()) {
            SomethingKept = true;
            break;
        }
        const std::string P = S + kPathSep + e.name;
        if (e.kind == EntryKind::Directory) {
            const std::string N = RemoteName(e.name);
            if (!NameUsable(e.name, P) || !LowerCaseFree(e.name, S, P) || !ClaimRemoteName(N, P)) continue;
            spoolTop_ = e.name;
            if (EnterNewRemoteDirectory(N) && PutDirTree(P) && !Stopped()) completeSpoolDirs_.insert(e.name);
            spoolTop_.clear();
            walkAbandoned_ = false;
        } else if (e.kind == EntryKind::File || e.kind == EntryKind::Dangling) {
            if (!LinkStaysInside(P) || !NameUsable(e.name, P) || !LowerCaseFree(e.name, S, P) ||
                !ClaimRemoteName(RemoteName(e.name), P))
                continue;
            if (PutFile(P, e.name, "Putfile " + P, PutMode::SpoolTop) == PutResult::Stored) DeleteStoredTop(P);
        } else {
            // A link to a directory is never followed; a fifo or device is never read.
            if (e.kind == EntryKind::LinkToDirectory) LinkStaysInside(P);
            SomethingKept = true;
        }
    }
    StillConnected();  // a loss met by the last entry counts too
}

std::string TUnattended::AbsoluteArgument(const std::string& arg) const {
    if (arg.empty() || arg[0] == kPathSep || StartDirectory.empty()) return arg;
    // "." or "sub/.." must still yield a directory name for MKD.
    std::string path = std::filesystem::path(AddBackslash(StartDirectory) + arg).lexically_normal().native();
    if (path.size() > 1 && path.back() == kPathSep) path.pop_back();
    return path;
}

void TUnattended::SendDroppedFiles(const std::string& port, const std::string& host, const std::string& user,
                                   const std::string& password) {
    RunLoggedIn(false, port, host, user, password, &TUnattended::DropWalk);
}

void TUnattended::DropWalk() {
    const StartupValues& v = s_.Settings;
    for (const std::string& given : Arguments) {
        if (runStopped_ || !StillConnected()) {
            SomethingKept = true;
            break;
        }
        const std::string A = AbsoluteArgument(given);
        // A path named on the command line is followed; below it, links stay inside.
        ConfineLinks(IsDirectory(A) ? A : "", "it links outside the dropped directory");
        if (IsDirectory(A)) {
            if (!v.IncludeDirs) {
                // Not sent, so the run must not pass for a success.
                Keep("a directory, and the profile's IncludeDirs is off", given);
                continue;
            }
            const std::string N = RemoteName(LastPathComponent(A));
            if (!NameUsable(LastPathComponent(A), A) || !LowerCaseFree(LastPathComponent(A), DirectoryPart(A), A) ||
                !ClaimRemoteName(N, A))
                continue;
            if (v.IncludeSubDirs) {
                if (EnterNewRemoteDirectory(N)) PutDirTree(A);
                walkAbandoned_ = false;
            } else {
                // The remote directory stays the new one for the arguments that follow.
                if (!MakeAndEnterDirectory(N)) {
                    SomethingKept = true;
                    continue;
                }
                remotePath_.push_back(N);
                std::vector<DirEntry> entries;
                ListDirectory(A, entries);
                for (const DirEntry& f : entries) {
                    if (f.kind == EntryKind::Directory)
                        Keep("a subdirectory, and the profile's IncludeSubDirs is off", AddBackslash(A) + f.name);
                    if (f.kind != EntryKind::File) continue;
                    if (!StillConnected()) break;
                    const std::string F = AddBackslash(A) + f.name;
                    if (!LinkStaysInside(F) || !NameUsable(f.name, F) || !LowerCaseFree(f.name, A, F) ||
                        !ClaimRemoteName(RemoteName(f.name), F))
                        continue;
                    PutFile(F, f.name, "Putfile " + f.name, PutMode::Plain);
                }
            }
        } else if (LocalFileExists(A) && KindOf(A) != EntryKind::Special) {
            const std::string F = LastPathComponent(A);
            if (!NameUsable(F, A) || !LowerCaseFree(F, DirectoryPart(A), A) || !ClaimRemoteName(RemoteName(F), A))
                continue;
            PutFile(A, F, "Putfile " + F, PutMode::Plain);
        } else if (KindOf(A) == EntryKind::Dangling) {
            // A path that names nothing was not sent: the run must not pass for a success.
            Keep("no such file or directory", given);
        }
    }
    StillConnected();
}

}  // namespace vollum
