#include "ftp/StoreOperation.h"

#include <memory>

#include "common/Helpers.h"
#include "common/Terminate.h"
#include "common/UserPrompts.h"
#include "ftp/MeterView.h"
#include "platform/SendFile.h"

namespace vollum {

namespace {

// The meter counts in 512-byte blocks; file and socket see 256 KiB ones.
constexpr int kMeterUnit = 512;
constexpr int kBlockSize = 256 * 1024;

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

bool StoreOperation::Run(const std::string& typeCommand, const std::string& localPath, const std::string& remoteName) {
    if (p_.control.RefuseIfBusy()) return false;
    const std::string remote = p_.settings.UseLowerCase ? LowerCaseName(remoteName) : remoteName;
    if (!retrying_) reruns_ = 0;
    bool fromZero = false;  // a resume of this file failed once: no second one
    // Re-runs after a broken transfer are a loop, not a deeper call each.
    for (;;) {
        const bool rerun = retrying_;
        retrying_ = false;
        bool complete = false;
        int finalReply = 0;
        bool finished = false;
        const bool temp = UsesTempNames();
        FileIdentity file;
        if (temp && !ReadIdentity(localPath, file)) {
            OpenFailed();
            return false;
        }
        std::string target = remote;
        partial_.clear();
        begun_ = refused_ = false;
        long long offset = 0;
        {
            const ControlChannel::TransferScope busy(p_.control);
            if (temp) {
                const TempPlan plan = PlanTemp(typeCommand, remote, localPath, file, !fromZero);
                if (plan.foreign) {
                    const std::string kept = "Kept " + ControlChannel::Printable(localPath) + ": the server holds " +
                                             plan.name + ", which this installation did not make";
                    p_.transcript.ShowLine("%s", {kept});
                    p_.transcript.LogLine(kept);
                    return false;
                }
                target = plan.name;
                offset = plan.offset;
            }
            finished =
                StoreOnce(typeCommand, localPath, target, rerun, temp ? &file : nullptr, offset, complete, finalReply);
        }
        if (!partial_.empty()) listed_.insert(partial_);
        // Only a 4xx reply can be the 426 of a broken transfer.
        if (finished && finalReply == 4 && CheckTransferAborted(target)) continue;
        if (!temp) {
            if (complete) listed_.insert(target);
            else if (begun_) SayWhatIsLeft(target, false);
            return complete;
        }
        Placed placed = Placed::Failed;
        if (complete) {
            const ControlChannel::TransferScope busy(p_.control);
            resumedFrom_ = offset > 0 ? &localPath : nullptr;
            placed = PutInPlace(typeCommand, target, remote, file.size);
            resumedFrom_ = nullptr;
        }
        if (placed == Placed::RenamesRefused) continue;  // once more, under the final name
        // A server that ignores REST, or refuses APPE, would fail this file on
        // every run: once from zero instead, now.
        if (placed == Placed::Failed && offset > 0 && (finished || refused_) && p_.control.Connected() &&
            !p_.control.AbortRequested()) {
            fromZero = true;
            const std::string line = "Resuming " + target + " failed: sending it again from the start";
            p_.transcript.LogLine(line);
            p_.transcript.ShowLine("%s", {line});
            std::string dir;
            if (CurrentDirectory(dir)) DropTemp(dir, target);
            continue;
        }
        if (placed == Placed::Failed && !partial_.empty()) SayWhatIsLeft(partial_, true);
        partial_.clear();
        if (placed == Placed::Done) listed_.insert(remote);
        return placed == Placed::Done;
    }
}

void StoreOperation::SayWhatIsLeft(const std::string& remote, bool temp) {
    if (temp) {
        p_.transcript.LogLine("Partial upload kept as " + remote + " for the next run");
        p_.transcript.ShowLine("Partial upload kept as %s for the next run", {remote});
        return;
    }
    // Under its final name: whoever reads the folder sees it, so it is said.
    p_.transcript.LogLine("Partial upload left on the server as " + remote);
    p_.transcript.ShowLine("Partial upload left on the server as %s", {remote});
}

void StoreOperation::OpenFailed() {
    p_.transcript.LogLine("Could not open local file,open error");
    p_.prompts.MessageBox("Could not open local file", "open error", PromptButtons::Ok, PromptIcon::Exclamation);
}

bool StoreOperation::StoreOnce(const std::string& typeCommand, const std::string& localPath, const std::string& remote,
                               bool rerun, const FileIdentity* expected, long long offset, bool& complete,
                               int& finalReply) {
    ControlChannel& control = p_.control;
    DataChannel& data = p_.data;
    Transcript& text = p_.transcript;
    TransferMeter& meter = p_.meter;

    complete = false;
    const DataConnectionGuard dataGuard{data};
    SendFile in;
    if (!in.Open(localPath, within_) && in.Outside()) {
        const std::string kept = "Kept " + ControlChannel::Printable(localPath) + ": " + confinedWhy_;
        text.ShowLine("%s", {kept});
        text.LogLine(kept);
        return false;
    }
    if (!in.IsOpen() || (offset > 0 && !in.Seek(offset))) {
        OpenFailed();
        return false;
    }
    // A file that is not the one its temporary name was made for counts as changed.
    const FileIdentity before = expected != nullptr ? *expected : in.Identity();
    const long long fileSize = before.size;

    text.ShowLine("Transferring local file: %s to remote file: %s", {localPath, remote});
    control.SetType(typeCommand);
    data.Prepare(p_.settings.FtpTimeOut);
    data.OpenPort();
    if (data.Passive() && !data.IsOpen()) {
        // No data connection to send through: STOR would only leave the server waiting.
        text.ShowLine("Could not store file");
        text.LogLine("Could not store file " + remote);
        return false;
    }
    // REST just before the STOR it applies to; APPE sends the rest where it is refused.
    const bool appends = offset > 0 && control.FtpCommand("REST %s", {std::to_string(offset)}) != 3;
    data.BeforeTransferCommand();
    const int stor = control.FtpCommand(appends ? "APPE %s" : "STOR %s", {remote});
    if (stor == 4) CheckDataConnection();
    if (stor == 4 || stor == 5 || stor < 0) {
        // A Cancel during the wait for STOR's reply leaves it unread, and a lost
        // connection may have taken it: the server may have begun the
        // temporary file all the same.
        if (control.OwesReply() || !control.Connected()) {
            begun_ = true;
            if (expected != nullptr) partial_ = remote;
        } else {
            refused_ = true;
        }
        // Refused: no data connection will come, so none is waited for.
        text.ShowLine("Could not store file");
        text.LogLine("Could not store file " + remote);
        return false;
    }
    begun_ = true;
    if (expected != nullptr) partial_ = remote;
    if (offset > 0) {
        text.LogLine("Resumed " + remote + " at " + std::to_string(offset) + " bytes");
        text.ShowLine("Resumed %s at %s bytes", {remote, std::to_string(offset)});
    }
    data.Accept();

    // A resumed store counts the whole file, the part sent before included.
    long long total = offset;
    bool sendFailed = false;
    const std::unique_ptr<char[]> block(new char[kBlockSize]);
    MeterBlocks blocks(meter.View() != nullptr, fileSize, kMeterUnit);
    auto readBlock = [&] { return in.Read(block.get(), static_cast<size_t>(blocks.Next(total, kBlockSize))); };
    control.BusyCursor();
    meter.SetBusyCursor(true);
    int count = readBlock();
    meter.BeginRates(fileSize - offset);
    meter.BeginLoop();
    bool statusShown = false;

    auto abortBranch = [&] {
        data.AbortTransfer();
        in.Close();
        control.NormalCursor();
        if (control.UserCancelled()) {
            // Asked for, so no failure; what arrived before may stay on the server.
            const std::string line = "Transfer cancelled: " + ControlChannel::Printable(remote);
            text.LogLine(line);
            text.ShowLine("%s", {line});
            // A temporary name is reported by Run, which keeps it for the next run.
            if (expected == nullptr) text.ShowLine("The server may hold a partial file: %s", {remote});
        } else {
            text.LogLine("Transfer aborted due to you're request");
            text.ShowLine("%sTransfer aborted due to you're request", {"\r\n"});
        }
        meter.Hide();
        meter.SetBusyCursor(false);
    };

    // The hot loop: one read and a few sends per block; texts and events
    // only at the points the meter picks.
    while (count >= 1) {
        if (data.IsOpen()) {
            // In parts as the system takes them, so a Cancel is seen between them.
            int offset = 0;
            while (offset < count) {
                const int sent = data.SendPart(block.get() + offset, count - offset);
                if (sent <= 0) {
                    sendFailed = true;
                    // Only whole 512-byte blocks count as written.
                    offset -= offset % kMeterUnit;
                    break;
                }
                offset += sent;
                if (offset < count && control.AbortRequested()) {
                    abortBranch();
                    return false;
                }
            }
            total += offset;
        }
        if (!statusShown && meter.View() != nullptr) {
            meter.SetStatus((rerun ? "Retrying to Send file: " : "Sending file: ") + remote);
            statusShown = true;
        }
        if (meter.Due(total, fileSize)) {
            meter.PublishRates(total - offset);
            meter.Update(total, fileSize);
        }
        if (meter.EventsDue()) TransferMeter::ProcessPendingEvents();
        // A broken data connection takes no more blocks; the error was shown once.
        count = sendFailed ? 0 : readBlock();
        if (control.AbortRequested()) {
            abortBranch();
            return false;
        }
    }
    // A loop that never ran (empty file) has not looked at the abort request
    // yet: an empty file whose data connection never came ends as any other.
    if (control.AbortRequested()) {
        abortBranch();
        return false;
    }
    if (meter.Started()) {
        meter.PublishRates(total - offset);
        meter.Update(total, fileSize);
    }

    if (count < 0) {
        text.LogLine("File Error, File transfer may be incomplete");
        text.ShowLine("File Error, File transfer may be incomplete");
    }

    // Half-close and wait for the server to close its side: only then have
    // all bytes arrived, however slowly the server reads them.
    const bool drained = data.ShutdownAndDrain();
    data.Close();
    // Written to while it was sent: what the server holds may be neither the
    // old nor the new content.
    const bool changed = !(in.Identity() == before);
    in.Close();
    control.NormalCursor();
    if (changed) {
        text.LogLine("Local file changed during transfer: " + localPath);
        text.ShowLine("Local file changed during transfer: %s", {localPath});
    }

    text.LogLine("Total bytes written to remote host :" + std::to_string(total));
    text.ShowLine("Total bytes written to remote host: %s", {std::to_string(total)});
    finalReply = control.GetReply();
    meter.Hide();
    meter.SetBusyCursor(false);
    complete = count == 0 && !sendFailed && !changed && drained && total == fileSize && finalReply == 2;
    return true;
}

void StoreOperation::CheckDataConnection() {
    const OutputPane& pane = p_.transcript.Pane();
    if (!PaneShows(pane, 425)) return;
    const std::string message = LastPaneText(pane) + " Shutting down";
    if (p_.settings.DisplayError) p_.prompts.Warning(message);
    p_.transcript.LogLine(message);
    TerminateProgram(1);
}

bool StoreOperation::CheckTransferAborted(const std::string& remote) {
    const OutputPane& pane = p_.transcript.Pane();
    if (!PaneShows(pane, 426)) return false;
    const std::string line = LastPaneText(pane);
    // Only a person at a window chooses each re-run; a default answer is no choice.
    const bool askedPerson = p_.settings.DisplayError && !p_.prompts.AnswersOnItsOwn();
    if (!askedPerson && reruns_ >= kMaxAutomaticReruns) {
        // A server that breaks every transfer would keep an unattended run busy forever.
        p_.transcript.LogLine(line);
        p_.transcript.LogLine("Giving up on " + remote + " after " + std::to_string(reruns_) + " retries");
        p_.transcript.ShowLine("Giving up on %s after %d retries", {remote, reruns_});
        return false;
    }
    if (p_.settings.DisplayError && !p_.prompts.AskYesNo(line + "Try again?")) return false;
    if (!askedPerson) ++reruns_;
    p_.transcript.LogLine(line);
    retrying_ = true;
    return true;
}

}  // namespace vollum
