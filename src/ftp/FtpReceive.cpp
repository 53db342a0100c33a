// Retrieve, view and directory listing: one receive routine for everything
// that comes from the server.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include "common/Convert.h"
#include "common/Helpers.h"
#include "common/Terminate.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "ftp/TransferGuards.h"

namespace vollum {

namespace {

// The meter counts in 255-byte receives; socket and file see 256 KiB blocks.
constexpr int kMeterUnit = 255;
constexpr int kReceiveBlock = 256 * 1024;
constexpr size_t kFileBuffer = 256 * 1024;

std::string AbsolutePath(const std::string& name) {
    if (!name.empty() && name.front() == kPathSep) return name;
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return name;
    return AddBackslash(cwd) + name;
}

// The file a path finally names: a link, or a chain of them, is followed to its
// target, also to one that does not exist yet, so that a retrieve replaces
// what the link points to and the link stays. Empty for a chain that loops.
std::string FinalTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return "";
        std::string next(buf, static_cast<size_t>(n));
        const std::string dir = DirectoryPart(path);
        if (next.front() != kPathSep && !dir.empty()) next = AddBackslash(dir) + next;
        path = std::move(next);
    }
    return "";
}

// The temporary file of the receive in progress. The meter's Cancel and a
// socket failure without a handler end the program at once, past every
// destructor; the hook still removes the file then.
std::string& UnfinishedReceiveFile() {
    static std::string path;
    return path;
}

void TrackUnfinished(const std::string& path) {
    static const bool hooked = [] {
        AddTerminateHook([] {
            if (!UnfinishedReceiveFile().empty()) ::unlink(UnfinishedReceiveFile().c_str());
        });
        return true;
    }();
    (void)hooked;
    UnfinishedReceiveFile() = path;
}

// The file a receive writes. It is always a temporary file: for a view or a
// listing the one handed to the editor (kept once the editor has it), for a
// retrieve a hidden one beside the target that replaces the target only when
// the transfer completed, so a refused or broken retrieve leaves an existing
// file as it was. Anything not kept is removed when the object goes.
class ReceiveFile {
public:
    ReceiveFile() = default;
    ReceiveFile(const ReceiveFile&) = delete;
    ReceiveFile& operator=(const ReceiveFile&) = delete;
    ~ReceiveFile() {
        Close();
        if (!path_.empty() && !kept_) ::unlink(path_.c_str());
        if (!path_.empty()) TrackUnfinished("");
    }

    // "LSTXXXXXX" / "VIWXXXXXX" in the current directory, named by mkstemp.
    bool OpenNamed(const std::string& prefix) {
        std::string name = prefix + "XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0) return false;
        path_ = AbsolutePath(name);
        TrackUnfinished(path_);
        ::fchmod(fd, DefaultMode());
        return Attach(fd);
    }

    bool OpenBeside(const std::string& given) {
        const std::string target = FinalTarget(given);
        if (target.empty()) return false;
        struct stat st {};
        mode_t mode = DefaultMode();
        if (::stat(target.c_str(), &st) == 0) {
            // What truncating the file in place would refuse is refused here.
            if (S_ISDIR(st.st_mode) || ::access(target.c_str(), W_OK) != 0) return false;
            mode = st.st_mode & 07777;
        }
        const std::string dir = DirectoryPart(target);
        std::string name = (dir.empty() ? std::string() : AddBackslash(dir)) + "." +
                           LastPathComponent(target) + ".vollum-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0) return false;
        path_ = name;
        TrackUnfinished(AbsolutePath(path_));  // the current directory may change before the end
        target_ = target;
        ::fchmod(fd, mode);
        return Attach(fd);
    }

    bool Write(const char* data, size_t size) { return std::fwrite(data, 1, size, file_) == size; }

    // False when buffered bytes could not be written.
    bool Close() {
        if (file_ == nullptr) return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

    // Puts a retrieved file in place of its target.
    bool Commit() {
        if (!Close() || ::rename(path_.c_str(), target_.c_str()) != 0) return false;
        Keep();
        return true;
    }
    void Keep() {
        kept_ = true;
        TrackUnfinished("");
    }
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

private:
    static mode_t DefaultMode() {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return 0666 & ~mask;
    }
    bool Attach(int fd) {
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) {
            ::close(fd);
            return false;
        }
        // A null buffer would let the C library pick its own small size.
        buffer_ = std::make_unique<char[]>(kFileBuffer);
        std::setvbuf(file_, buffer_.get(), _IOFBF, kFileBuffer);
        return true;
    }

    std::unique_ptr<char[]> buffer_;  // outlives file_: Close runs first
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string target_;
    bool kept_ = false;
};

// Editor + " " + file, started without waiting. The editor text may carry
// arguments of its own; the file name is passed as one argument.
void StartEditor(const std::string& editor, const std::string& file) {
    QStringList parts = QProcess::splitCommand(QString::fromLocal8Bit(editor.empty() ? "xdg-open" : editor));
    if (parts.isEmpty()) return;
    const QString program = parts.takeFirst();
    parts << QString::fromLocal8Bit(file);
    QProcess::startDetached(program, parts);
}

}  // namespace

void TFtpSession::ReceiveData(const std::string& source, const std::string& localName,
                              const std::string& typeCommand) {
    if (RefuseIfBusy()) return;
    TransferFlagGuard busy(TransferBusy);
    DataConnectionGuard dataGuard{*this};

    AbortFlag = false;
    long long received = 0;
    const bool listing = source.compare(0, 4, "LIST") == 0;
    const bool view = !listing && localName.empty();
    const bool separate = (listing && Settings.DirSep == "1") || (view && Settings.ViewSep == "1");
    const bool toFile = separate || (!listing && !view);

    ReceiveFile out;
    if (toFile) {
        const bool opened = listing ? out.OpenNamed("LST") : view ? out.OpenNamed("VIW") : out.OpenBeside(localName);
        if (!opened) {
            Prompts.MessageBox("Could not open file", "_lopen error", PromptButtons::Ok, PromptIcon::Exclamation);
            LogLine("Could not open file");
            return;
        }
    }

    int result = SetType(typeCommand);
    if (result == 5 || result < 0) return;

    Sockets2.SetNonBlocking(false);
    Sockets2.Timeout = Settings.FtpTimeOut;
    result = OpenDataPort();
    if (result == 5 || result < 0) return;

    long long expected = 0;
    bool writeFailed = false;
    auto writeOut = [&](const char* data, size_t size) {
        if (writeFailed || out.Write(data, size)) return;
        // One line for the failure; the rest of the data has nowhere to go.
        ShowLine("%sWrite to file: %s failed, transfer incomplete", {"\r\n", localName});
        writeFailed = true;
        AbortFlag = true;
    };
    if (listing) {
        if (separate) {
            FtpCommand("PWD");
            const std::string command = source + "\r\n";
            writeOut(LastReplyLine.data(), LastReplyLine.size());
            writeOut(command.data(), command.size());
        }
        Sockets1.Timeout = 0;  // a long listing may take a while to start
        result = FtpCommand("%s", {source});
        Sockets1.Timeout = Settings.ConnectionTimeOut;
        if (result == 4 || result == 5 || result < 0) {
            ShowLine("Could not list directory");
            return;
        }
    } else {
        result = FtpCommand("RETR %s", {source});
        if (result == 4 || result == 5 || result < 0) {
            ShowLine("Could not retrieve file");
            return;
        }
        expected = ReplyFileSize();
    }

    BusyCursor();
    Sockets2.Accept();
    NormalCursor();
    if (AbortRequested() || LastSocketError != 0 || Sockets2.FSocket == -1) {
        const std::string text = "Could not extablish data socket, operation canceled";
        Prompts.MessageBox(text, "ERROR", PromptButtons::Ok, PromptIcon::Exclamation);
        LogLine(text);
        return;
    }

    // The hot loop: one receive, one buffered write, a few comparisons. Text
    // for the pane comes 255 bytes at a time (a NUL ends what a piece shows);
    // a file takes large blocks, each ending where the meter's percentage
    // next changes, so the meter shows the counts a 255-byte loop would.
    const bool meterShown = toFile && !listing;
    MeterBlocks blocks(meterShown && meter_ != nullptr, expected, kMeterUnit);
    bool aborted = false;
    int n = 0;
    const std::unique_ptr<char[]> buffer(new char[kReceiveBlock + 1]);
    LoopPace pace;
    BusyCursor();
    do {
        int size = blocks.Next(received, toFile ? kReceiveBlock : kMeterUnit);
        n = Sockets2.SReceive(Sockets2.FSocket, buffer.get(), size);
        if (n >= 1) {
            if (!toFile) {
                buffer[n] = '\0';
                ShowText(buffer.get());
            } else {
                writeOut(buffer.get(), static_cast<size_t>(n));
                if (meterShown) received += n;
            }
        }
        if (MeterDue(pace, received, meterShown ? expected : 0)) UpdateMeter(received, expected);
        if (pace.eventsDue) ProcessPendingEvents();
        if (AbortRequested()) {
            SendAbort();
            aborted = true;
        }
    } while (n >= 1);
    if (meterShown && pace.percent >= 0) UpdateMeter(received, expected);
    NormalCursor();
    if (!out.Close() && !writeFailed) {
        ShowLine("%sWrite to file: %s failed, transfer incomplete", {"\r\n", localName});
        writeFailed = true;
    }

    if (separate) {
        out.Keep();
        StartEditor(Settings.Editor, out.Path());
    }

    CloseDataConnection();
    const int finalReply = GetReply();
    HideMeter();
    // Only a whole file replaces what the target held before.
    if (!listing && !view && n == 0 && !aborted && !writeFailed && finalReply == 2 && !out.Commit())
        ShowLine("%sWrite to file: %s failed, transfer incomplete", {"\r\n", localName});
}

void TFtpSession::ListDirectory(const std::string& format, std::initializer_list<FmtArg> args) {
    ReceiveData(Format(format, args), "", "TYPE A");
}

int TFtpSession::ReplyFileSize() {
    // "150 Opening BINARY mode data connection for a.zip (20480 bytes)."
    const size_t open = LastReplyLine.find('(');
    if (open == std::string::npos) return 0;
    const size_t start = open + 1;
    const size_t blank = LastReplyLine.find(' ', start);
    const std::string count =
        LastReplyLine.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
    return TryStrToInt(count).value_or(0);
}

}  // namespace vollum
