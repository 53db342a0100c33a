// Upload of one local file (the meter counting 512-byte blocks), with speed and time-left
// texts, the 425 and 426 checks and the bounded re-run after a broken transfer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

#include "common/Helpers.h"
#include "common/Terminate.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "ftp/TransferGuards.h"

namespace vollum {

namespace {

// The meter counts in 512-byte blocks; file and socket see 256 KiB ones.
constexpr int kMeterUnit = 512;
constexpr int kBlockSize = 256 * 1024;

// Whole seconds of the millisecond tick, rounded half to even.
double RoundedSeconds() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return std::nearbyint(static_cast<double>(ms) * 0.001);
}

struct FileStamp {
    long long size = -1;
    long long mtimeSec = 0;
    long long mtimeNsec = 0;
    bool operator==(const FileStamp&) const = default;
};

// The local file, read in large blocks straight into the caller's buffer.
class LocalFile {
public:
    LocalFile() = default;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
    ~LocalFile() { Close(); }

    bool Open(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return false;
        if (Stamp().size < 0) {  // a directory is no file to send
            Close();
            return false;
        }
        return true;
    }
    // Fills the block up to size unless the file ends first: the blocks stay
    // whole multiples of the meter's unit. Bytes read, 0 at the end, -1 after
    // a failed read.
    int Read(char* block, int size) {
        int got = 0;
        while (got < size) {
            const ssize_t n = ::read(fd_, block + got, static_cast<size_t>(size - got));
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                return got > 0 ? got : -1;
            }
            got += static_cast<int>(n);
        }
        return got;
    }
    FileStamp Stamp() const {
        struct stat st {};
        FileStamp s;
        if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) return s;
        s.size = st.st_size;
        s.mtimeSec = st.st_mtim.tv_sec;
        s.mtimeNsec = st.st_mtim.tv_nsec;
        return s;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Speed and time-left texts of one store run. A text is handed to the meter
// only when it differs from the one shown.
class StoreLabels {
public:
    StoreLabels(MeterView* meter, long long fileSize, double start)
        : meter_(meter), fileSize_(fileSize), start_(start) {}

    void Publish(long long total) {
        if (meter_ == nullptr) return;
        const double elapsed = RoundedSeconds() - start_;
        if (elapsed != 0) {
            speed_ = static_cast<double>(total) / elapsed / 1024;
            std::string text = TFtpSession::SpeedText(speed_);
            if (speedText_ != text) {
                speedText_ = std::move(text);
                meter_->SetSpeed(speedText_);
            }
        }
        if (elapsed != 0 && speed_ != 0) {
            secondsLeft_ = static_cast<long>(
                std::nearbyint(static_cast<double>(fileSize_ - total) / 1024 / speed_));
            estimated_ = true;
        }
        // Until the first estimate the label keeps what it showed.
        if (!estimated_ || secondsLeft_ == shownSeconds_) return;
        shownSeconds_ = secondsLeft_;
        meter_->SetTimeLeft(TFtpSession::TimeLeftText(secondsLeft_));
    }

private:
    MeterView* meter_;
    long long fileSize_;
    double start_;
    double speed_ = 0;
    long secondsLeft_ = 0;
    bool estimated_ = false;
    long shownSeconds_ = -1;
    std::string speedText_;
};

// Whether the pane's last line is a reply with this code. A reply is read
// from the server and may start with anything; a line that carries no code
// (the close notice) is simply not that code.
bool PaneShows(const OutputPane& pane, int code) {
    const std::string line = pane.LastLine();
    if (line.size() < 3) return false;
    int value = 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') return false;
        value = value * 10 + (line[i] - '0');
    }
    return value == code;
}

// The pane line without the CR it keeps from the wire.
std::string LastPaneText(const OutputPane& pane) {
    std::string line = pane.LastLine();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

std::string TFtpSession::SpeedText(double kilobytesPerSecond) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f kb/s", kilobytesPerSecond);
    return text;
}

std::string TFtpSession::TimeLeftText(long seconds) {
    return TwoDigits(seconds / 60) + ":" + TwoDigits(seconds % 60) + " min";
}

bool TFtpSession::StoreFile(const std::string& typeCommand, const std::string& localPath,
                            const std::string& remoteName) {
    if (RefuseIfBusy()) return false;
    const std::string remote = Settings.UseLowerCase ? LowerCaseName(remoteName) : remoteName;
    if (!StoreRetrying) StoreReruns = 0;
    // Re-runs after a broken transfer are a loop, not a deeper call each.
    for (;;) {
        const bool rerun = StoreRetrying;
        StoreRetrying = false;
        bool complete = false;
        int finalReply = 0;
        bool finished = false;
        {
            TransferFlagGuard busy(TransferBusy);
            finished = StoreOnce(typeCommand, localPath, remote, rerun, complete, finalReply);
        }
        // Only a 4xx reply can be the 426 of a broken transfer.
        if (!finished || finalReply != 4 || !CheckTransferAborted(typeCommand, localPath, remote)) return complete;
    }
}

bool TFtpSession::StoreOnce(const std::string& typeCommand, const std::string& localPath,
                            const std::string& remote, bool rerun, bool& complete, int& finalReply) {
    complete = false;
    DataConnectionGuard dataGuard{*this};
    LocalFile in;
    if (!in.Open(localPath)) {
        LogLine("Could not open local file,open error");
        Prompts.MessageBox("Could not open local file", "open error", PromptButtons::Ok, PromptIcon::Exclamation);
        return false;
    }
    const FileStamp before = in.Stamp();
    const long long fileSize = before.size;

    ShowLine("Transferring local file: %s to remote file: %s", {localPath, remote});
    SetType(typeCommand);
    Sockets2.SetNonBlocking(false);
    Sockets2.Timeout = Settings.FtpTimeOut;
    OpenDataPort();
    const int stor = FtpCommand("STOR %s", {remote});
    if (stor == 4) CheckDataConnection();
    if (stor == 4 || stor == 5 || stor < 0) {
        // Refused: no data connection will come, so none is waited for.
        ShowLine("Could not store file");
        LogLine("Could not store file " + remote);
        return false;
    }
    Sockets2.Accept();

    MeterView* meter = meter_;
    long long total = 0;
    bool sendFailed = false;
    const std::unique_ptr<char[]> block(new char[kBlockSize]);
    MeterBlocks blocks(meter != nullptr, fileSize, kMeterUnit);
    auto readBlock = [&] { return in.Read(block.get(), blocks.Next(total, kBlockSize)); };
    BusyCursor();
    if (meter != nullptr) meter->SetBusyCursor(true);
    int count = readBlock();
    const double start = RoundedSeconds();
    StoreLabels labels(meter, fileSize, start);
    LoopPace pace;
    bool statusShown = false;

    auto abortBranch = [&] {
        // 426 answers the interrupted STOR; the ABOR's own reply still follows.
        if (SendAbort() == 4) ++owedReplies_;
        CloseDataConnection();
        in.Close();
        NormalCursor();
        LogLine("Transfer aborted due to you're request");
        ShowLine("%sTransfer aborted due to you're request", {"\r\n"});
        HideMeter();
        if (meter != nullptr) meter->SetBusyCursor(false);
    };

    // The hot loop: one read and a few sends per block; texts and events
    // only at the points MeterDue picks.
    while (count >= 1) {
        if (Sockets2.FSocket != -1) {
            // In parts as the system takes them, so a Cancel is seen between them.
            int offset = 0;
            while (offset < count) {
                const int sent = Sockets2.SSendPart(Sockets2.FSocket, block.get() + offset, count - offset);
                if (sent <= 0) {
                    sendFailed = true;
                    // Only whole 512-byte blocks count as written.
                    offset -= offset % kMeterUnit;
                    break;
                }
                offset += sent;
                if (offset < count && AbortRequested()) {
                    abortBranch();
                    return false;
                }
            }
            total += offset;
        }
        if (!statusShown && meter != nullptr) {
            meter->SetStatus((rerun ? "Retrying to Send file: " : "Sending file: ") + remote);
            statusShown = true;
        }
        if (MeterDue(pace, total, fileSize)) {
            labels.Publish(total);
            UpdateMeter(total, fileSize);
        }
        if (pace.eventsDue) ProcessPendingEvents();
        // A broken data connection takes no more blocks; the error was shown once.
        count = sendFailed ? 0 : readBlock();
        if (AbortRequested()) {
            abortBranch();
            return false;
        }
    }
    // A loop that never ran (empty file) has not looked at the abort request
    // yet: an empty file whose data connection never came ends as any other.
    if (AbortRequested()) {
        abortBranch();
        return false;
    }
    if (pace.percent >= 0) {
        labels.Publish(total);
        UpdateMeter(total, fileSize);
    }

    if (count < 0) {
        LogLine("File Error, File transfer may be incomplete");
        ShowLine("File Error, File transfer may be incomplete");
    }

    // Half-close and wait for the server to close its side: only then have
    // all bytes arrived, however slowly the server reads them.
    const bool drained = Sockets2.FSocket != -1 && Sockets2.ShutdownAndDrain(Sockets2.FSocket);
    CloseDataConnection();
    // Written to while it was sent: what the server holds may be neither the
    // old nor the new content.
    const bool changed = !(in.Stamp() == before);
    in.Close();
    NormalCursor();
    if (changed) {
        LogLine("Local file changed during transfer: " + localPath);
        ShowLine("Local file changed during transfer: %s", {localPath});
    }

    LogLine("Total bytes written to remote host :" + std::to_string(total));
    ShowLine("Total bytes written to remote host: %s", {std::to_string(total)});
    finalReply = GetReply();
    HideMeter();
    if (meter != nullptr) meter->SetBusyCursor(false);
    complete = count == 0 && !sendFailed && !changed && drained && total == fileSize && finalReply == 2;
    return true;
}

void TFtpSession::CheckDataConnection() {
    if (!PaneShows(Memo1, 425)) return;
    const std::string text = LastPaneText(Memo1) + " Shutting down";
    if (Settings.DisplayError) Prompts.Warning(text);
    LogLine(text);
    TerminateProgram(1);
}

bool TFtpSession::CheckTransferAborted(const std::string&, const std::string&, const std::string& c) {
    if (!PaneShows(Memo1, 426)) return false;
    const std::string line = LastPaneText(Memo1);
    // Only a person at a window chooses each re-run; a default answer is no choice.
    const bool askedPerson = Settings.DisplayError && !Prompts.AnswersOnItsOwn();
    if (!askedPerson && StoreReruns >= kMaxAutomaticReruns) {
        // A server that breaks every transfer would keep an unattended run busy forever.
        LogLine(line);
        LogLine("Giving up on " + c + " after " + std::to_string(StoreReruns) + " retries");
        ShowLine("Giving up on %s after %d retries", {c, StoreReruns});
        return false;
    }
    if (Settings.DisplayError && !Prompts.AskYesNo(line + "Try again?")) return false;
    if (!askedPerson) ++StoreReruns;
    LogLine(line);
    StoreRetrying = true;
    return true;
}

}  // namespace vollum
