#pragma once
// The client's engine: command channel, output pane, log, login, data
// connection, retrieve and store. QtCore only; the user is reached through
// UserPrompts and MeterView.
#include <QObject>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>

#include "common/Format.h"
#include "config/StartupValues.h"
#include "ftp/MeterView.h"
#include "ftp/OutputPane.h"
#include "ftp/SessionLog.h"
#include "socket/TSleeper.h"
#include "socket/TSockets.h"

namespace vollum {

class UserPrompts;

class TFtpSession : public QObject {
    Q_OBJECT
public:
    explicit TFtpSession(UserPrompts& prompts, QObject* parent = nullptr);
    ~TFtpSession() override;

    // Components.
    TSockets Sockets1;  // control connection
    TSockets Sockets2;  // data connection
    TSleeper Sleeper1;
    OutputPane Memo1;
    SessionLog Log;
    UserPrompts& Prompts;
    void SetMeter(MeterView* meter) { meter_ = meter; }
    MeterView* Meter() const { return meter_; }

    // Engine state.
    bool Connected = false;
    bool CommandBusy = false;
    bool AbortFlag = false;
    int LastSocketError = 0;
    std::string LastReplyLine;
    bool StoreRetrying = false;
    std::string PendingPaneLine;
    bool DroppingPaneLine = false;  // the pending line outgrew the pane: skip to its line feed
    bool TransferBusy = false;  // a ReceiveData or StoreFile is running
    int StoreReruns = 0;        // automatic re-runs of the current store after 426
    static constexpr int kMaxAutomaticReruns = 3;

    // Start-up values and the profile in use (ProgramDir, TypeCommand, time-outs...).
    StartupValues Settings;
    // Copies Settings' time-outs, log switch and program directory into the components.
    void ApplySettings();

    // Cursor feedback for a window, if there is one.
    std::function<void(bool busy)> OnCursor;

    // Command channel.
    int FtpCommand(const std::string& format, std::initializer_list<FmtArg> args = {});
    int SendCommand(const std::string& line);
    int GetReply();
    // False when text holds CR, LF or NUL: no command line may carry it.
    static bool CommandSafe(const std::string& text);
    // The text with CR, LF and NUL written as \r, \n and \0, for pane and log.
    static std::string Printable(const std::string& text);
    // The TYPE command, sent only when it is not the one the server last
    // accepted on this connection; 2 when it need not be sent.
    int SetType(const std::string& typeCommand);
    bool AbortRequested();
    void BusyCursor();
    void NormalCursor();
    void Sockets1ErrorOccurred(TSockets* Sender, int Socket, int Error, const std::string& Msg);
    int PaneReplyCode();  // raises EConvertError

    // Pane and log.
    void ShowText(const std::string& text);
    void ShowLine(const std::string& format, std::initializer_list<FmtArg> args = {});
    void LogLine(const std::string& text);

    // Connection and login.
    // Connects Sockets1 to host:port; true when the connection stands (Connected set).
    bool OpenControlConnection(const std::string& host, const std::string& port);
    void WaitGreeting();
    void SendLogin(const std::string& user, const std::string& password, const std::string& account);
    void CheckRemoteDir();
    void CheckLogin();  // ends the program with exit code 1 on 530
    void Quit();        // QUIT, log, disconnect, Connected cleared

    // Data connection.
    int OpenDataPort();
    int SendAbort();  // "ABOR\r\n" as urgent data, then one reply (its class)
    void CloseDataConnection();
    // "PORT h1,h2,h3,h4,p1,p2" for a dotted IPv4 address and a port.
    static std::string PortCommand(const std::string& localAddress, int port);
    // For the user interface: shows "Command already in progress, request
    // ignored" and returns true while a command or a transfer is running.
    bool RefuseIfBusy();

    // Retrieve and listing.
    void ReceiveData(const std::string& source, const std::string& localName, const std::string& typeCommand);
    void ListDirectory(const std::string& format, std::initializer_list<FmtArg> args = {});
    int ReplyFileSize();

    // Store. True only when every byte was sent, nothing aborted and the
    // final reply was class 2 (after a re-run: that of the re-run). A local
    // file whose size or modification time changed while it was sent does
    // not count as stored completely either.
    bool StoreFile(const std::string& typeCommand, const std::string& localPath, const std::string& remoteName);
    // The store meter's texts: "12.50 kb/s" and "02:05 min".
    static std::string SpeedText(double kilobytesPerSecond);
    static std::string TimeLeftText(long seconds);
    void CheckDataConnection();
    // After a final reply of 426: true when the store is to run again
    // (StoreRetrying is then set). Automatic re-runs stop after three; a
    // person asked each time may go on.
    bool CheckTransferAborted(const std::string& a, const std::string& b, const std::string& c);

    // Progress meter.
    void UpdateMeter(long long done, long long total);
    void HideMeter();
    // The meter's Cancel: closes the data connection, logs and ends the program (exit code 1).
    [[noreturn]] void MeterCancel();

private:
    int SendAndAwaitReply(const std::string& line);
    bool ReadReplyFragment(std::string& line, bool& closed);
    // One reply; abandoned is set when the wait was given up (time-out, Cancel).
    int ReadReply(bool& abandoned);
    // Reads, shows and logs replies no command asked for, so that the next
    // command gets its own answer. Bounded in count and time.
    void ReadUnaskedReplies();
    void ConnectionClosedByPeer();
    static constexpr int kOwedReplyGraceMs = 1000;
    static constexpr int kMaxUnaskedReplies = 16;
    int owedReplies_ = 0;
    // The TYPE line the server last answered with 2xx on this connection;
    // empty when unknown.
    std::string acceptedType_;  // replies still to come for commands whose wait was given up
    MeterView* meter_ = nullptr;

    // Transfer loops (FtpMeter.cpp). Per block they do only the percentage
    // arithmetic and a clock read; the meter is brought up to date when the
    // whole percentage changes (the one moment the window repaints at once)
    // and whenever pending events are processed (at most every 20 ms).
    struct LoopPace {
        std::chrono::steady_clock::time_point nextEvents{};
        int percent = -1;
        bool eventsDue = false;
    };
    bool MeterDue(LoopPace& pace, long long done, long long total);
    static void ProcessPendingEvents();
    // One run of StoreFile up to its final reply; false when it ended before
    // (open error, refused STOR, abort), so no broken-transfer check follows.
    bool StoreOnce(const std::string& typeCommand, const std::string& localPath, const std::string& remote,
                   bool rerun, bool& complete, int& finalReply);
    int meterTitlePercent_ = -1;  // percentage the meter's title shows
};

}  // namespace vollum
