#include "ftp/RetrieveOperation.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "common/Convert.h"
#include "common/UserPrompts.h"
#include "ftp/MeterView.h"
#include "ftp/ReplyNumbers.h"
#include "platform/ProcessStart.h"
#include "platform/ReceiveFile.h"

namespace vollum {

namespace {
// The meter counts in 255-byte receives; socket and file see 256 KiB blocks.
constexpr int kMeterUnit = 255;
constexpr int kReceiveBlock = 256 * 1024;

void SayCancelled(Transcript& text, const std::string& source) {
    const std::string line = "Transfer cancelled: " + ControlChannel::Printable(source);
    text.ShowLine("%s", {line});
    text.LogLine(line);
}
}  // namespace

bool RetrieveOperation::Receive(const std::string& source, const std::string& localName,
                                const std::string& typeCommand, const Sink* sink, const RetrieveOptions& options) {
    ControlChannel& control = p_.control;
    DataChannel& data = p_.data;
    Transcript& text = p_.transcript;
    TransferMeter& meter = p_.meter;
    const StartupValues& settings = p_.settings;

    if (control.RefuseIfBusy()) return false;
    const ControlChannel::TransferScope busy(control);
    const DataConnectionGuard dataGuard{data};

    control.ClearAbort();
    long long received = 0;
    const bool listing = sink != nullptr || source.compare(0, 4, "LIST") == 0;
    const bool view = !listing && localName.empty();
    const bool separate = sink == nullptr && ((listing && settings.DirSep == "1") || (view && settings.ViewSep == "1"));
    const bool toFile = separate || (!listing && !view);
    const long long restartAt = listing || view ? 0 : options.restartAt;

    ReceiveFile out;
    if (toFile) {
        const bool opened = listing     ? out.OpenNamed("LST")
                            : view      ? out.OpenNamed("VIW")
                            : restartAt ? out.OpenAppend(localName, restartAt)
                                        : out.OpenBeside(localName);
        if (!opened) {
            p_.prompts.MessageBox("Could not open file", "_lopen error", PromptButtons::Ok, PromptIcon::Exclamation);
            text.LogLine("Could not open file");
            return false;
        }
    }

    int result = control.SetType(typeCommand);
    if (result == 5 || result < 0) return false;

    data.Prepare(settings.FtpTimeOut);
    result = data.OpenPort();
    if (result == 5 || result < 0 || (data.Passive() && !data.IsOpen())) return false;

    long long expected = 0;
    std::optional<long long> announced;
    bool writeFailed = false;
    auto writeOut = [&](const char* bytes, size_t size) {
        if (writeFailed || out.Write(bytes, size)) return;
        // One line for the failure; the rest of the data has nowhere to go.
        text.ShowLine("%sWrite to file: %s failed, transfer incomplete", {"\r\n", localName});
        writeFailed = true;
        control.RequestAbort();
    };
    if (listing) {
        if (separate) {
            control.FtpCommand("PWD");
            const std::string command = source + "\r\n";
            const std::string pwd = control.LastReply();
            writeOut(pwd.data(), pwd.size());
            writeOut(command.data(), command.size());
        }
        control.SetTimeout(0);  // a long listing may take a while to start
        data.BeforeTransferCommand();
        result = control.FtpCommand("%s", {source});
        control.SetTimeout(settings.ConnectionTimeOut);
        if (result == 4 || result == 5 || result < 0) {
            text.ShowLine("Could not list directory");
            return false;
        }
    } else {
        if (restartAt > 0 && control.FtpCommand("REST %s", {std::to_string(restartAt)}) != 3) {
            text.ShowLine("Could not resume file");
            return false;
        }
        data.BeforeTransferCommand();
        result = control.FtpCommand("RETR %s", {source});
        if (result == 4 || result == 5 || result < 0) {
            text.ShowLine("Could not retrieve file");
            return false;
        }
        expected = ReplyFileSize(control.LastReply());
        // Other types may change line ends on the way: only an image's size holds.
        // After REST the server may announce the whole size or the rest: only
        // the listing's size, less what is here, says what should come.
        if (restartAt > 0) expected = 0;
        if (typeCommand == "TYPE I" && restartAt == 0) announced = AnnouncedSize(control.LastReply(), source);
        if (expected == 0 && options.expectedSize > restartAt) expected = options.expectedSize - restartAt;
        // Without a size in the reply, a binary file must come as large as the listing said.
        if (!announced.has_value() && typeCommand == "TYPE I" && options.expectedSize > restartAt)
            announced = options.expectedSize - restartAt;
    }

    control.BusyCursor();
    data.Accept();
    control.NormalCursor();
    if (control.AbortRequested() || control.LastSocketError() != 0 || !data.IsOpen()) {
        if (control.UserCancelled()) {
            // The user's Cancel while the connection was being made: no failure to report.
            data.AbortTransfer();
            SayCancelled(text, source);
            return false;
        }
        // The server answered the command with 1xx: its final reply is still
        // to come and must not be taken for the next command's.
        data.Close();
        control.OweReply();
        const std::string message = "Could not extablish data socket, operation canceled";
        p_.prompts.MessageBox(message, "ERROR", PromptButtons::Ok, PromptIcon::Exclamation);
        text.LogLine(message);
        return false;
    }

    // The hot loop: one receive, one buffered write, a few comparisons. Text
    // for the pane comes 255 bytes at a time (a NUL ends what a piece shows);
    // a file takes large blocks, each ending where the meter's percentage
    // next changes, so the meter shows the counts a 255-byte loop would; a
    // listing read into entries takes large blocks too.
    const bool meterShown = toFile && !listing;
    MeterBlocks blocks(meterShown && meter.View() != nullptr, expected, kMeterUnit);
    bool aborted = false;
    int n = 0;
    const std::unique_ptr<char[]> buffer(new char[kReceiveBlock + 1]);
    if (meterShown && expected > 0 && meter.View() != nullptr) {
        // Its own texts: none of an earlier transfer's stays on the window.
        meter.SetStatus("Receiving file: " + source);
        meter.BeginRates(expected);
    }
    meter.BeginLoop();
    control.BusyCursor();
    do {
        n = data.Receive(buffer.get(), blocks.Next(received, toFile || sink ? kReceiveBlock : kMeterUnit));
        if (n >= 1) {
            if (sink) {
                (*sink)(std::string_view(buffer.get(), static_cast<size_t>(n)));
            } else if (!toFile) {
                buffer[n] = '\0';
                text.ShowText(buffer.get());
            } else {
                writeOut(buffer.get(), static_cast<size_t>(n));
            }
            received += n;
        }
        if (meter.Due(received, meterShown ? expected : 0)) {
            meter.PublishRates(received);
            meter.Update(received, expected);
        }
        if (meter.EventsDue()) TransferMeter::ProcessPendingEvents();
        if (control.AbortRequested()) {
            aborted = true;
            break;
        }
    } while (n >= 1);
    if (aborted) {
        // Nothing that came is kept: the partial file goes with `out`. A
        // listing's half line ends here, so the replies get lines of their own.
        if (!text.PendingLine().empty()) text.ShowText("\r\n");
        data.AbortTransfer();
        control.NormalCursor();
        meter.Hide();
        if (control.UserCancelled()) SayCancelled(text, source);
        return false;
    }
    if (meterShown && meter.Started()) {
        meter.PublishRates(received);
        meter.Update(received, expected);
    }
    control.NormalCursor();
    if (!out.Close() && !writeFailed) {
        text.ShowLine("%sWrite to file: %s failed, transfer incomplete", {"\r\n", localName});
        writeFailed = true;
    }

    if (separate) {
        out.Keep();
        text.ShowLine("Wrote %s (%s bytes)", {out.FinalPath(), std::to_string(received)});
        // Without the editor (no xdg-open, say) the file is shown all the same.
        if (!StartEditor(settings.Editor, out.Path()) &&
            !p_.prompts.ShowFile(out.FinalPath(), listing ? "Directory listing" : source))
            text.ShowLine("The editor %s cannot be started", {settings.Editor});
    }

    // A broken connection, a TLS stream without the server's close_notify or
    // a count other than the one announced: the server's 226 cannot vouch for
    // bytes that someone else may have ended.
    const bool cut = n < 0 || data.EndedWithoutClose() || (announced && *announced != received);
    if (cut) {
        const bool more = announced && received > *announced;
        const std::string line =
            more ? "Received " + std::to_string(received) + " bytes, more than the " + std::to_string(*announced) +
                       " the server announced"
                 : "Received " + std::to_string(received) +
                       (announced ? " of " + std::to_string(*announced) : std::string()) +
                       " bytes: the data connection was cut short";
        text.ShowLine("%s", {line});
        text.LogLine(line);
    }
    data.Close();
    const int finalReply = control.GetReply();
    meter.Hide();
    const bool whole = !cut && n == 0 && !aborted && !writeFailed && finalReply == 2;
    // Only a whole file replaces what the target held before.
    if (!listing && !view && whole) {
        if (!out.Commit()) {
            text.ShowLine("%sWrite to file: %s failed, transfer incomplete", {"\r\n", localName});
            return false;
        }
        text.ShowLine("Wrote %s (%s bytes)", {out.FinalPath(), std::to_string(received)});
    }
    return whole;
}

int RetrieveOperation::ReplyFileSize(const std::string& reply) {
    const size_t open = reply.find('(');
    if (open == std::string::npos) return 0;
    const size_t start = open + 1;
    const size_t blank = reply.find(' ', start);
    const std::string count = reply.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
    // "(-5 bytes)" announces nothing; a negative count would pass for a size.
    return std::max(TryStrToInt(count).value_or(0), 0);
}

}  // namespace vollum
