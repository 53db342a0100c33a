#pragma once
// The client's engine as the windows and the runs see it: one object with
// the verbs they use, over the parts it owns (each in a file of its own):
//   ControlChannel    commands out, replies in, busy guard, abort, last reply
//   DataChannel       PORT/EPRT or EPSV/PASV, urgent ABOR, close
//   Transcript        output pane and VOLLUM.LOG
//   TransferMeter     progress window: pacing and texts
//   RetrieveOperation retrieve, view and listing
//   StoreOperation    store with its 425/426 checks and re-runs
// Login and QUIT are here (SessionLogin.cpp), FEAT and listings read as
// entries in SessionListing.cpp. QtCore only; the user is reached
// through UserPrompts and MeterView.
#include <QObject>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "common/Format.h"
#include "config/StartupValues.h"
#include "ftp/ControlChannel.h"
#include "ftp/DataChannel.h"
#include "ftp/ListingEntry.h"
#include "ftp/MeterView.h"
#include "ftp/RetrieveOperation.h"
#include "ftp/ServerFeatures.h"
#include "ftp/StoreOperation.h"
#include "ftp/Transcript.h"
#include "ftp/TransferMeter.h"

namespace vollum {

class UserPrompts;

class TFtpSession : public QObject {
    Q_OBJECT
public:
    explicit TFtpSession(UserPrompts& prompts, QObject* parent = nullptr);
    ~TFtpSession() override;

    UserPrompts& Prompts;
    // Start-up values and the profile in use (ProgramDir, TypeCommand,
    // time-outs...): what the caller configures, read by the parts.
    StartupValues Settings;
    // Hands Settings' time-outs, log switch and program directory to the parts.
    void ApplySettings();
    // The directory of VOLLUM.INI and VOLLUM.LOG, before the rest is read.
    void UseProgramDirectory(const std::string& dir) {
        Settings.ProgramDir = dir;
        transcript_.SetLogDirectory(dir);
    }

    ControlChannel& Control() { return control_; }
    DataChannel& Data() { return data_; }
    Transcript& Output() { return transcript_; }
    const Transcript& Output() const { return transcript_; }
    TransferMeter& Meter() { return meter_; }

    bool Connected() const { return control_.Connected(); }
    bool CommandBusy() const { return control_.Busy(); }
    bool TransferBusy() const { return control_.TransferBusy(); }

    // Command channel.
    int FtpCommand(const std::string& format, std::initializer_list<FmtArg> args = {}) {
        return control_.FtpCommand(format, args);
    }
    int SendCommand(const std::string& line) { return control_.SendCommand(line); }
    int GetReply() { return control_.GetReply(); }
    int PaneReplyCode() const { return control_.PaneReplyCode(); }  // raises EConvertError
    const std::string& LastReply() const { return control_.LastReply(); }

    // Pane and log.
    void ShowText(const std::string& text) { transcript_.ShowText(text); }
    void ShowLine(const std::string& format, std::initializer_list<FmtArg> args = {}) {
        transcript_.ShowLine(format, args);
    }
    void LogLine(const std::string& text) { transcript_.LogLine(text); }
    OutputPane& Pane() { return transcript_.Pane(); }

    // Connection and login.
    // Before Connect: an empty pane, no half line, no error and no abort left from earlier.
    void PrepareConnect() {
        transcript_.ClearPendingLine();
        control_.ForgetFailures();
        transcript_.Pane().Clear();
    }
    // Connects to host:port; true when the connection stands.
    bool OpenControlConnection(const std::string& host, const std::string& port) { return control_.Open(host, port); }
    // The greeting, then with UseTLS: AUTH TLS, the handshake and the
    // certificate check (SessionTls.cpp). False when TLS was asked for and
    // could not be had: the connection is closed then, nothing went in plain
    // text. mayAskTrust: an unknown certificate may be put to the user.
    bool WaitGreeting(bool mayAskTrust = true);
    // USER, PASS, ACCT; with TLS then PBSZ 0 and PROT P (after any login,
    // see AfterCommand), or the end of the connection when the server will
    // not protect data connections.
    void SendLogin(const std::string& user, const std::string& password, const std::string& account);
    void CheckRemoteDir();
    void CheckLogin();  // ends the program with exit code 1 on 530
    void Quit();        // QUIT, log, disconnect

    // Data connection.
    int OpenDataPort() { return data_.OpenPort(); }
    int SendAbort() { return data_.SendAbort(); }
    void CloseDataConnection() { data_.Close(); }
    // For the user interface: shows "Command already in progress, request
    // ignored" and returns true while a command or a transfer is running.
    bool RefuseIfBusy() { return control_.RefuseIfBusy(); }

    // Retrieve and listing.
    void ReceiveData(const std::string& source, const std::string& localName, const std::string& typeCommand) {
        retrieve_.Run(source, localName, typeCommand);
    }
    // A retrieve into localName; true when the whole file is in place.
    bool RetrieveFile(const std::string& remote, const std::string& localName, const std::string& typeCommand,
                      const RetrieveOptions& options = {}) {
        return retrieve_.Run(remote, localName, typeCommand, options);
    }
    void ListDirectory(const std::string& format, std::initializer_list<FmtArg> args = {});
    int ReplyFileSize() const { return RetrieveOperation::ReplyFileSize(control_.LastReply()); }
    // The remote folder path (empty: the current one) read as entries:
    // MLSD where the server announces MLST, else LIST. Commands and replies
    // show in the pane as for any listing; the listing itself does not.
    // True when the whole listing came; out holds what came in any case.
    bool ListEntries(const std::string& path, std::vector<ListingEntry>& out);
    // PWD; the folder named in its 257 reply, or false.
    bool CurrentDirectory(std::string& out);

    // What the server announced in reply to FEAT. FEAT is sent the first time
    // this is asked after a login (USER, REIN) or a new connection; asked
    // while a command runs or while disconnected, it answers with nothing
    // and asks again next time. Ask between commands, not while data flows.
    const ServerFeatures& Features();

    // Store: see StoreOperation::Run.
    bool StoreFile(const std::string& typeCommand, const std::string& localPath, const std::string& remoteName) {
        return store_.Run(typeCommand, localPath, remoteName);
    }
    // Stores that follow read only files inside within (empty: any file).
    void ConfineStores(const std::string& within, const std::string& why) { store_.ConfineTo(within, why); }
    std::optional<bool> RemoteNameExists(const std::string& name) {
        return store_.RemoteNameExists(Settings.TypeCommand, name);
    }
    void CheckDataConnection() { store_.CheckDataConnection(); }
    bool CheckTransferAborted(const std::string& remote) { return store_.CheckTransferAborted(remote); }
    bool StoreRetrying() const { return store_.Retrying(); }
    void ForgetStoreRetry() { store_.ForgetRetry(); }

    // Progress window.
    void SetMeter(MeterView* view) { meter_.SetView(view); }
    void UpdateMeter(long long done, long long total) { meter_.Update(done, total); }
    void HideMeter() { meter_.Hide(); }
    // The meter's Cancel: closes the data connection, logs and ends the program (exit code 1).
    [[noreturn]] void MeterCancel();

private:
    // OPTS MLST for the facts the list shows, once per login, where the
    // server offers them without sending them.
    void AskForListingFacts();
    bool SecureControlConnection(bool mayAskTrust);
    bool TrustServer(bool mayAskTrust);
    void ProtectData();
    // On a TLS connection: a new USER or REIN forgets the data protection
    // agreed, any 230 (a login through Quote too) is followed by PBSZ 0 and
    // PROT P, and a PROT the user sent sets it as the server accepted it.
    void AfterCommand(const std::string& line, int result);
    // Closes the connection over a TLS failure, saying why.
    void EndWithoutTls(const std::string& text);

    Transcript transcript_;
    ControlChannel control_;
    DataChannel data_;
    TransferMeter meter_;
    RetrieveOperation retrieve_;
    StoreOperation store_;
    ServerFeatures features_;
    int loginSerial_ = 0;  // counts USER and REIN
    int featuresConnection_ = -1, featuresLogin_ = -1;  // when features_ was asked for
    int mlsdRefusedConnection_ = -1;  // the connection whose server would not MLSD
    int factsConnection_ = -1, factsLogin_ = -1;  // when OPTS MLST was considered
};

}  // namespace vollum
