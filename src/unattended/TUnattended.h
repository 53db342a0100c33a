#pragma once
// The unattended side of the client: the dispatch that ends the main window's
// creation, the spool and drop runs with their common login, the directory
// tree upload and the local tree removal. It works on the engine alone
// (QtCore), so a window, a console or a test drives it alike.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "unattended/RunReport.h"
#include "unattended/SharedNames.h"
#include "unattended/StoredFiles.h"

namespace vollum {

class TFtpSession;
class ParallelRun;

// The directory of a 257 reply: the text between the first quote and the
// next single one, a doubled quote standing for one. False without it.
bool PathFromPwdReply(const std::string& reply, std::string& path);

// How a file of a run is stored: with the complete-and-unchanged record
// (SpoolTop: a top-level spool file, deleted once stored), or plainly.
enum class PutMode { SpoolTop, Recorded, Plain };
// Stored and Kept as the store ended; HandedOut: an upload worker has it and
// its result comes later.
enum class PutResult { Stored, Kept, HandedOut };

class TUnattended {
public:
    explicit TUnattended(TFtpSession& session);

    // The command-line arguments as given; relative ones name paths below
    // StartDirectory, the current directory when the program started (the
    // profile's Localdir may have changed it since).
    std::vector<std::string> Arguments;
    std::string StartDirectory;

    // A spool run started by hand (Vollum --spool) neither needs nor clears the hand-shake key.
    bool KeepSpoolKey = false;

    // Hides the main window and sets it minimised before a run.
    std::function<void()> HideMainWindow;
    // Called once when a run requests the end of the program.
    std::function<void()> OnEndRequested;

    // A run went through its work: the program ends as soon as its event loop starts.
    bool EndRequested = false;
    // A run's login ended without a usable connection (none, or closed during login).
    bool ConnectionFailed = false;
    // The control connection went away after the login.
    bool ConnectionLost = false;
    // A run left something unsent or undeleted that it should have handled:
    // a refused or failed store, a skipped name, a tree not all on the server.
    bool SomethingKept = false;
    // Another run held the spool: this one sent nothing from it and left the key.
    bool SpoolBusy = false;
    // Files sent and kept, and what ended a run early: for the notification at its end.
    RunReport Report;
    // The line a run ended with, before it logged in, for want of a password
    // (the keyring did not answer, or the profile asks at each Connect).
    std::string NoPassword;

    // The last step of the main window's creation: spool run, then the drop run.
    void Dispatch();

    // Runs; each logs in with the given values and the rest of the profile.
    void SendSpoolFiles(const std::string& port, const std::string& host, const std::string& user,
                        const std::string& password);
    void SendDroppedFiles(const std::string& port, const std::string& host, const std::string& user,
                          const std::string& password);
    // False when the run cannot go on (no connection, or closed during login).
    bool Login(const std::string& port, const std::string& host, const std::string& user, const std::string& password);

    // From a logged-in window: sends the files and directories (whole trees)
    // named by paths into the remote directory `into` (empty: the current
    // one), with a drop run's checks, TempUpload and Connections, and goes
    // back to the remote directory it found. Deletes nothing. True when
    // everything arrived and nothing was kept. firstName, when given, is the
    // remote name of the first path (Put's Remote Name).
    bool UploadPaths(const std::vector<std::string>& paths, const std::string& into,
                     const std::string& firstName = "");
    // Asks a run under way to store nothing more (the file in hand is for the
    // session's Cancel to stop).
    void StopRun() { runStopped_ = true; }

    // Sends the tree below the remote current directory and ends one remote
    // level higher. True when every file of the tree was stored completely and
    // nothing was left out (a link to a directory, a special file, a directory
    // that could not be listed or entered).
    bool PutDirTree(const std::string& dir);

    // Deletes the directory D (a full path) with everything in it, working
    // through the current directory. With onlyStored, a file is deleted only
    // when the spool run stored it and it has not changed since.
    void RemoveDirTree(const std::string& D, const StoredFiles* onlyStored = nullptr);

    // ProgramDir + "COPY".
    std::string SpoolDirectory() const;

private:
    // The parallel run reads and records the run's state; a worker stores
    // through the same one-file path.
    friend class ParallelRun;
    friend class UploadWorker;

    void RequestEnd();
    // Fetches the profile's password where it is kept, once; false (NoPassword
    // said in the log) when there is none to log in with.
    bool PasswordReady();
    // Clears what one run knows about the server's directories and names.
    void BeginRun(bool deletesStored);
    std::string RemoteName(const std::string& localName) const;

    // Entry checks (EntryChecks.cpp). Each says on the pane and in the log why
    // an entry is kept. A name with CR, LF or NUL cannot go into a command;
    // one that is not valid UTF-8 does not go to a server that declares UTF-8.
    bool NameUsable(const std::string& name, const std::string& localPath);
    // Claims a remote name in the remote directory the walk is in; false when
    // an earlier entry of this run already took it there.
    bool ClaimRemoteName(const std::string& remoteName, const std::string& localPath);
    // With UseLowerCase, a name that lower-casing changes goes only where
    // that remote name does not exist yet (and no local entry has it).
    bool LowerCaseFree(const std::string& name, const std::string& localDir, const std::string& localPath);
    // Binary stores only: SIZE must report the local size before a spool file
    // may be deleted. A server without SIZE leaves the final reply to judge.
    bool ServerHoldsWhole(const std::string& remoteName, const std::string& localPath, int64_t size);
    // Deletes a top-level spool file stored whole, unless it is read-only,
    // changed since, or shares its server name with another (then the run's end decides).
    void DeleteStoredTop(const std::string& path);
    // After a spool run's stores: entries whose remote paths fold alike are
    // deleted only where the server lists each of them under its own name;
    // otherwise all of them are kept (SharedNameChecks.cpp).
    void SettleSharedNames();
    // False once the control connection is gone (said once, on pane and log).
    bool StillConnected();
    // An entry kept without a pane line of its own.
    void Keep(const std::string& why, const std::string& localPath);
    // A walk sends only what was put below its root: a link whose target lies
    // outside is kept ("it links outside the spool"). A link to nothing passes
    // here; the store's own check on the opened file covers a later change.
    bool LinkStaysInside(const std::string& path);
    // The root (resolved here; empty: no check) and the reason a kept link
    // gives, for this walk and the stores it makes.
    void ConfineLinks(const std::string& root, const std::string& why);

    // Remote position (RemotePosition.cpp). The first PWD answer of a run is
    // its start directory; after a CWD or CDUP that failed, the run goes back
    // there by absolute path before it stores anything more.
    void NotePwd(int result);
    void ReturnToStart();
    bool Stopped() const { return runStopped_ || walkAbandoned_; }

    // MKD and CWD for a directory made by a run; false when the server refused the CWD.
    bool MakeAndEnterDirectory(const std::string& name);
    // Stores one file; true when it was stored completely and did not change meanwhile.
    bool StoreRecorded(const std::string& path, const std::string& remoteName);
    // Logs logText and stores the file, or hands it to an idle upload worker.
    PutResult PutFile(const std::string& path, const std::string& remoteName, const std::string& logText,
                      PutMode mode);
    // CDUP and CWD from remotePath_ to the directory `to` below the start; on
    // a refusal the connection goes back to its start and the answer is false.
    bool MoveRemote(const std::vector<std::string>& to);
    void RemoveStoredSpoolDirectories();
    // Login, the walk, and the end of the program; a close notice met by a
    // reply check counts as the lost connection it is.
    void RunLoggedIn(bool deletesStored, const std::string& port, const std::string& host, const std::string& user,
                     const std::string& password, void (TUnattended::*walk)());
    // PWD, then MKD and CWD into a directory of the run; on a refused CWD the
    // run goes back to its start. True when the walk is inside the new directory.
    bool EnterNewRemoteDirectory(const std::string& name);
    void SpoolWalk();
    void DropWalk();
    void WindowWalk();
    std::vector<std::string> windowPaths_;  // what UploadPaths sends
    std::string windowFirstName_;
    std::string AbsoluteArgument(const std::string& arg) const;

    TFtpSession& s_;
    StoredFiles stored_;
    std::set<std::string> completeSpoolDirs_;

    bool deletesStored_ = false;           // a spool run: stored files are deleted
    std::vector<std::string> remotePath_;  // remote directories entered below the start
    std::set<std::string> takenNames_;     // "dir/.../name" claimed in this run
    SharedNames sharedNames_;              // every claim, to find names the server may merge
    std::set<std::string> heldBack_;       // top-level spool files deleted only at the run's end
    std::string remoteStart_;
    bool startKnown_ = false;
    bool walkAbandoned_ = false;  // a tree walk left its place; it is back at the start
    bool runStopped_ = false;     // the run can store nothing more
    bool sizeUnsupported_ = false;
    bool passwordTaken_ = false;

    ParallelRun* parallel_ = nullptr;           // Connections > 1: the workers of this run
    std::string spoolTop_;                      // the top-level spool directory being walked
    std::set<std::string> incompleteSpoolDirs_;  // a worker could not store one of its files
    // The absolute remote directory a window's upload started in; the workers
    // of its run go there first (their logins land in the profile's directory).
    std::string workerBase_;
    std::string linkRoot_;  // real path; empty: links are not checked
    std::string linkOutsideWhy_;
};

}  // namespace vollum
