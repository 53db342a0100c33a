// The common login and the two unattended runs.
#include <filesystem>

#include "common/Errors.h"
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "unattended/DirListing.h"
#include "unattended/TUnattended.h"

namespace vollum {

TUnattended::TUnattended(TFtpSession& session) : s_(session) {}

std::string TUnattended::SpoolDirectory() const { return s_.Settings.ProgramDir + "COPY"; }

void TUnattended::RequestEnd() {
    const bool first = !EndRequested;
    EndRequested = true;
    if (first && OnEndRequested) OnEndRequested();
}

std::string TUnattended::RemoteDirName(const std::string& localName) const {
    return s_.Settings.UseLowerCase ? LowerCaseName(localName) : localName;
}

bool TUnattended::Login(const std::string& port, const std::string& host, const std::string& user,
                        const std::string& password) {
    const StartupValues& v = s_.Settings;
    s_.Memo1.Clear();
    if (!s_.OpenControlConnection(host, port)) {
        s_.LogLine("Connection to " + host + "failed");
        s_.Prompts.Notice(Format("Connection to %s failed", {host}));
        ConnectionFailed = true;
        return false;
    }
    TSockets& c = s_.Sockets1;
    s_.ShowLine("Local port: %s IP: %s connected to rmt port: %s IP: %s",
                {c.GetLocalPort(c.FSocket), c.GetLocalIPAddr(c.FSocket), c.GetRemotePort(c.FSocket),
                 c.GetRemoteIPAddr(c.FSocket)});
    s_.LogLine("Connected to " + c.IPAddr + " as " + user);
    s_.WaitGreeting();
    s_.SendLogin(user, password, v.Account);
    if (!v.Directory.empty()) s_.FtpCommand("CWD %s", {RemoteDirName(v.Directory)});
    try {
        s_.CheckRemoteDir();
        if (!v.InitializeCommand.empty()) s_.FtpCommand("%s", {v.InitializeCommand});
        s_.CheckLogin();
    } catch (const EConvertError&) {
        // After a lost connection the pane ends in "Not Connected" or the close
        // notice, which carry no reply code: that is the closed connection below.
        if (s_.Connected) throw;
    }
    if (!s_.Connected) {
        s_.LogLine("Connection Failed");
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
    if (!stored || !known || !ReadIdentity(path, after) || !(after == before)) return false;
    stored_.Add(path, before);
    return true;
}

void TUnattended::SendSpoolFiles(const std::string& port, const std::string& host, const std::string& user,
                                 const std::string& password) {
    if (!Login(port, host, user, password)) return;
    const std::string S = SpoolDirectory();
    std::vector<DirEntry> entries;
    ListDirectory(S, entries);
    for (const DirEntry& e : entries) {
        const std::string P = S + kPathSep + e.name;
        if (e.kind == EntryKind::Directory) {
            s_.FtpCommand("PWD");
            s_.LogLine("PWD");
            // A refused CWD leaves the remote directory where it was: the tree
            // is not sent into the wrong place and stays for the next run.
            if (MakeAndEnterDirectory(RemoteDirName(e.name)) && PutDirTree(P)) completeSpoolDirs_.insert(e.name);
        } else if (e.kind == EntryKind::File || e.kind == EntryKind::Dangling) {
            s_.LogLine("Putfile " + P);
            // A read-only file cannot be deleted and goes again next run.
            if (StoreRecorded(P, e.name) && !IsReadOnly(P)) DeleteFileEntry(P);
        }
        // A link to a directory is never followed; a fifo or device is never read.
    }
    RequestEnd();
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
    if (!Login(port, host, user, password)) return;
    const StartupValues& v = s_.Settings;
    for (const std::string& given : Arguments) {
        const std::string A = AbsoluteArgument(given);
        if (IsDirectory(A)) {
            if (!v.IncludeDirs) continue;
            const std::string N = RemoteDirName(LastPathComponent(A));
            if (v.IncludeSubDirs) {
                s_.FtpCommand("PWD");
                s_.LogLine("PWD");
                if (MakeAndEnterDirectory(N)) PutDirTree(A);
            } else {
                if (!MakeAndEnterDirectory(N)) continue;
                std::vector<DirEntry> entries;
                ListDirectory(A, entries);
                for (const DirEntry& f : entries) {
                    if (f.kind != EntryKind::File) continue;
                    s_.LogLine("Putfile " + f.name);
                    s_.StoreFile(v.TypeCommand, AddBackslash(A) + f.name, f.name);
                }
            }
        } else if (LocalFileExists(A) && KindOf(A) != EntryKind::Special) {
            const std::string F = LastPathComponent(A);
            s_.LogLine("Putfile " + F);
            s_.StoreFile(v.TypeCommand, A, F);
        }
    }
    RequestEnd();
}

}  // namespace vollum
