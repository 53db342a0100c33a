// Stores under a temporary name: what is left from a run before, the rename
// into place, and the servers that will not rename.
#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <algorithm>
#include <cstring>
#include <memory>

#include "config/Installation.h"
#include "ftp/ReplyNumbers.h"
#include "ftp/StoreOperation.h"
#include "ftp/TempNames.h"
#include "platform/SendFile.h"

namespace vollum {

namespace {
constexpr int kListBlock = 64 * 1024;
constexpr size_t kMaxListing = 64u << 20;  // names beyond it are not looked at
// Read back from each end of a partial upload before it is resumed.
constexpr size_t kCheckWindow = 64 * 1024;
const char* const kBinary = "TYPE I";
}  // namespace

bool StoreOperation::UsesTempNames() const {
    return p_.settings.TempUpload && renamesRefusedOn_ != p_.control.ConnectionSerial();
}

StoreOperation::TempPlan StoreOperation::PlanTemp(const std::string& typeCommand, const std::string& finalName,
                                                  const std::string& localPath, const FileIdentity& file,
                                                  bool mayResume) {
    const std::string tag = TempTag(file, finalName, InstallationIdentity(p_.settings.ProgramDir + "VOLLUM.INI"));
    TempPlan plan{TempName(finalName, tag), 0, false};
    const bool listed = ListNames(typeCommand);
    std::string dir;
    // Where PWD gives no answer nothing can be told ours: nothing is deleted or resumed.
    const bool placeKnown = CurrentDirectory(dir);
    TempJournal journal(JournalPath());
    if (placeKnown) {
        // Ours, left for another version of the file: of no use to anyone now.
        // A file of that form that this installation did not make stays.
        for (const std::string& name : std::set<std::string>(listed_)) {
            if (name == plan.name || TempTagOf(name, finalName).empty()) continue;
            if (journal.Holds(EntryOf(dir, name))) DropTemp(dir, name);
        }
    }
    long long held = -1;
    if (typeCommand == kBinary && (!listed || listed_.count(plan.name) != 0)) {
        // In ASCII and EBCDIC the server's byte count is not the file's.
        p_.control.SetType(typeCommand);
        bool unsupported = false;
        held = RemoteSize(plan.name, unsupported);
    }
    const bool there = held >= 0 || (listed && listed_.count(plan.name) != 0);
    if (there && !(placeKnown && journal.Holds(EntryOf(dir, plan.name)))) {
        plan.foreign = true;
        return plan;
    }
    if (there && mayResume && held > 0 && held < file.size) {
        if (PartialMatches(plan.name, localPath, held)) {
            plan.offset = held;
        } else {
            const std::string line =
                "The part on the server, " + plan.name + ", is not this file's: sending it from the start";
            p_.transcript.LogLine(line);
            p_.transcript.ShowLine("%s", {line});
            DropTemp(dir, plan.name);
        }
    }
    // Before the first byte: a run killed from here on leaves a temporary the next one knows as its own.
    if (placeKnown) journal.Add(EntryOf(dir, plan.name));
    return plan;
}

StoreOperation::Placed StoreOperation::PutInPlace(const std::string& typeCommand, const std::string& temp,
                                                  const std::string& finalName, long long size) {
    ControlChannel& control = p_.control;
    Transcript& text = p_.transcript;
    if (typeCommand == kBinary) {
        bool unsupported = false;
        const long long held = RemoteSize(temp, unsupported);
        if (!unsupported && held != size) {
            const std::string line = "The server holds " +
                                     (held < 0 ? std::string("an unknown number") : std::to_string(held)) + " of " +
                                     std::to_string(size) + " bytes of " + temp;
            text.LogLine(line);
            text.ShowLine("%s", {line});
            return Placed::Failed;
        }
    }
    // A resumed store joined two sends: the server's digest says whether they make the file.
    if (resumedFrom_ != nullptr && DigestMatches(temp, *resumedFrom_, size) == false) {
        const std::string line = "The server's digest of " + temp + " is not the local file's";
        text.LogLine(line);
        text.ShowLine("%s", {line});
        return Placed::Failed;
    }
    auto renameTo = [&] { return control.FtpCommand("RNTO %s", {finalName}) == 2; };
    auto done = [&] {
        listed_.erase(temp);
        std::string dir;
        if (CurrentDirectory(dir)) TempJournal(JournalPath()).Remove(EntryOf(dir, temp));
        return Placed::Done;
    };
    if (control.FtpCommand("RNFR %s", {temp}) == 3) {
        if (renameTo()) return done();
        // A server that will not rename onto an existing name lets the old file go first.
        if (control.Connected() && control.FtpCommand("DELE %s", {finalName}) == 2) {
            listed_.erase(finalName);
            if (control.FtpCommand("RNFR %s", {temp}) == 3 && renameTo()) return done();
            if (!control.Connected()) return Placed::Failed;
            // The old file is gone: the whole new one stays where it is rather than go too.
            const std::string line = "Stored as " + temp + ": the server refused the name " + finalName;
            text.LogLine(line);
            text.ShowLine("%s", {line});
            partial_.clear();
            return Placed::KeptAsTemp;
        }
    }
    if (!control.Connected()) return Placed::Failed;
    renamesRefusedOn_ = control.ConnectionSerial();
    text.LogLine("The server does not allow renames: files are stored under their final names");
    text.ShowLine("The server does not allow renames: files are stored under their final names");
    std::string dir;
    if (CurrentDirectory(dir)) DropTemp(dir, temp);
    else if (control.FtpCommand("DELE %s", {temp}) == 2) listed_.erase(temp);
    partial_.clear();
    return Placed::RenamesRefused;
}

std::optional<bool> StoreOperation::RemoteNameExists(const std::string& typeCommand, const std::string& name) {
    const ControlChannel::TransferScope busy(p_.control);
    if (ListNames(typeCommand)) return listed_.count(name) != 0;
    bool unsupported = false;
    if (RemoteSize(name, unsupported) >= 0) return true;
    const bool sizeAbsent = p_.control.LastReply().compare(0, 4, "550 ") == 0;
    const int mdtm = p_.control.FtpCommand("MDTM %s", {name});
    if (mdtm == 2) return true;
    if (sizeAbsent && p_.control.LastReply().compare(0, 4, "550 ") == 0) return false;
    return std::nullopt;
}

bool StoreOperation::CurrentDirectory(std::string& dir) {
    ControlChannel& control = p_.control;
    if (pwdDirectory_ != control.DirectorySerial()) {
        pwdDirectory_ = control.DirectorySerial();
        pwdOk_ = control.FtpCommand("PWD") == 2 && PathFromPwdReply(control.LastReply(), pwd_);
    }
    dir = pwd_;
    return pwdOk_;
}

TempEntry StoreOperation::EntryOf(const std::string& dir, const std::string& name) const {
    return TempEntry{p_.settings.UserName + "@" + p_.control.HostName() + ":" + p_.control.Ends().remotePort, dir,
                     name};
}

std::string StoreOperation::JournalPath() const { return p_.settings.ProgramDir + "VOLLUM.PARTS"; }

bool StoreOperation::DropTemp(const std::string& dir, const std::string& name) {
    if (p_.control.FtpCommand("DELE %s", {name}) != 2) return false;
    listed_.erase(name);
    TempJournal(JournalPath()).Remove(EntryOf(dir, name));
    return true;
}

bool StoreOperation::PartialMatches(const std::string& temp, const std::string& localPath, long long held) {
    // The temporary holds the prefix: its digest is the prefix's.
    if (const std::optional<bool> digest = DigestMatches(temp, localPath, held)) return *digest;
    SendFile local;
    if (!local.Open(localPath, within_)) return false;
    const auto window = static_cast<long long>(kCheckWindow);
    if (held <= 2 * window) return RemoteMatches(temp, 0, held, true, local);
    bool restRefused = false;
    if (!RemoteMatches(temp, 0, window, false, local)) return false;
    if (RemoteMatches(temp, held - window, window, true, local, &restRefused)) return true;
    // Where REST is refused the resume appends, and the whole part is read to be sure of it.
    return restRefused && RemoteMatches(temp, 0, held, true, local);
}

std::optional<bool> StoreOperation::DigestMatches(const std::string& name, const std::string& localPath,
                                                  long long length) {
    if (!Features) return std::nullopt;
    const ServerFeatures& features = Features();
    struct Way {
        const char* feature;  // announced by FEAT
        const char* algorithm;
        QCryptographicHash::Algorithm local;
        size_t hexLength;
    };
    static const Way kWays[] = {
        {"HASH", "SHA-256", QCryptographicHash::Sha256, 64}, {"HASH", "SHA-1", QCryptographicHash::Sha1, 40},
        {"XSHA256", "", QCryptographicHash::Sha256, 64},     {"XSHA1", "", QCryptographicHash::Sha1, 40},
        {"XMD5", "", QCryptographicHash::Md5, 32},
    };
    const Way* way = nullptr;
    for (const Way& w : kWays) {
        if (!features.Has(w.feature)) continue;
        if (*w.algorithm) {
            // "SHA-256*;SHA-1;MD5": the star marks the one in use.
            const std::string offered = ";" + features.Params("HASH") + ";";
            if (offered.find(std::string(";") + w.algorithm + ";") == std::string::npos &&
                offered.find(std::string(";") + w.algorithm + "*;") == std::string::npos)
                continue;
        }
        way = &w;
        break;
    }
    if (way == nullptr) return std::nullopt;
    ControlChannel& control = p_.control;
    if (*way->algorithm && control.FtpCommand("OPTS HASH %s", {way->algorithm}) != 2) return false;
    if (control.FtpCommand(*way->algorithm ? "HASH %s" : std::string(way->feature) + " %s", {name}) != 2) return false;
    // The digest is the one word of the right length in hex digits.
    std::string theirs;
    const std::string& reply = control.LastReply();
    for (size_t at = 4; at < reply.size();) {
        const size_t end = std::min(reply.find_first_of(" \r\n", at), reply.size());
        const std::string word = reply.substr(at, end - at);
        if (word.size() == way->hexLength &&
            word.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
            theirs = QByteArray::fromStdString(word).toLower().toStdString();
        at = end + 1;
    }
    SendFile local;
    if (theirs.empty() || !local.Open(localPath, within_)) return false;
    QCryptographicHash hash(way->local);
    const std::unique_ptr<char[]> block(new char[kListBlock]);
    for (long long done = 0; done < length;) {
        const int n = local.Read(block.get(), static_cast<size_t>(std::min<long long>(kListBlock, length - done)));
        if (n <= 0) return false;
        hash.addData(QByteArrayView(block.get(), n));
        done += n;
    }
    return hash.result().toHex().toStdString() == theirs;
}

bool StoreOperation::RemoteMatches(const std::string& name, long long offset, long long length, bool toEnd,
                                   SendFile& local, bool* restRefused) {
    ControlChannel& control = p_.control;
    DataChannel& data = p_.data;
    const DataConnectionGuard dataGuard{data};
    if (!local.Seek(offset)) return false;
    control.SetType(kBinary);
    data.Prepare(p_.settings.FtpTimeOut);
    if (data.OpenPort() != 2 || (data.Passive() && !data.IsOpen())) return false;
    if (offset > 0 && control.FtpCommand("REST %s", {std::to_string(offset)}) != 3) {
        if (restRefused != nullptr) *restRefused = control.Connected();
        return false;
    }
    data.BeforeTransferCommand();
    if (control.FtpCommand("RETR %s", {name}) != 1) return false;
    data.Accept();
    if (!data.IsOpen()) {
        control.OweReply();
        return false;
    }
    const std::unique_ptr<char[]> theirs(new char[kListBlock]);
    const std::unique_ptr<char[]> mine(new char[kListBlock]);
    long long compared = 0;
    bool same = true;
    int n = 0;
    // Compared as they come; one byte beyond length tells a file that goes on.
    while (same && compared <= length && (n = data.Receive(theirs.get(), kListBlock)) > 0) {
        const long long useful = std::min<long long>(n, length - compared);
        for (long long got = 0; same && got < useful;) {
            const int r = local.Read(mine.get(), static_cast<size_t>(useful - got));
            same = r > 0 && std::memcmp(theirs.get() + got, mine.get(), static_cast<size_t>(r)) == 0;
            got += r > 0 ? r : 0;
        }
        compared += n;
    }
    if (same && n > 0 && compared > length && !toEnd) {
        // The rest is not wanted: the transfer's own reply and the ABOR's both come.
        data.Close();
        if (data.SendAbort() < 0) return false;
        control.GetReply();
        return control.Connected();
    }
    if (n > 0) {
        // A difference, or more than the part should hold: the rest is not read.
        data.Close();
        if (data.SendAbort() >= 0) control.GetReply();
        return false;
    }
    data.Close();
    return control.GetReply() == 2 && n == 0 && same && compared == length;
}

bool StoreOperation::ListNames(const std::string& typeCommand) {
    ControlChannel& control = p_.control;
    DataChannel& data = p_.data;
    if (listedDirectory_ == control.DirectorySerial()) return listOk_;
    listedDirectory_ = control.DirectorySerial();
    listed_.clear();
    listOk_ = false;
    // A listing in EBCDIC would not be text.
    control.SetType(typeCommand == kBinary ? kBinary : "TYPE A");
    const DataConnectionGuard dataGuard{data};
    data.Prepare(p_.settings.FtpTimeOut);
    const int port = data.OpenPort();
    if (port != 2 || (data.Passive() && !data.IsOpen())) return false;
    data.BeforeTransferCommand();
    const int nlst = control.FtpCommand("NLST");
    // Refused (or an empty directory some servers answer with 550): SIZE tells.
    if (nlst != 1) return false;
    data.Accept();
    if (!data.IsOpen()) {
        control.OweReply();
        return false;
    }
    std::string names;
    const std::unique_ptr<char[]> block(new char[kListBlock]);
    int n = 0;
    while ((n = data.Receive(block.get(), kListBlock)) > 0)
        if (names.size() < kMaxListing) names.append(block.get(), static_cast<size_t>(n));
    data.Close();
    if (control.GetReply() != 2 || n < 0) return false;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find('\n', start);
        if (end == std::string::npos) end = names.size();
        std::string name = names.substr(start, end - start);
        if (!name.empty() && name.back() == '\r') name.pop_back();
        const size_t slash = name.find_last_of('/');
        if (slash != std::string::npos) name.erase(0, slash + 1);
        if (!name.empty()) listed_.insert(name);
        start = end + 1;
    }
    listOk_ = true;
    return true;
}

long long StoreOperation::RemoteSize(const std::string& name, bool& unsupported) {
    p_.control.ForgetLastReply();
    const int result = p_.control.FtpCommand("SIZE %s", {name});
    const std::string& reply = p_.control.LastReply();
    unsupported = result == 5 && (reply.compare(0, 4, "500 ") == 0 || reply.compare(0, 4, "502 ") == 0);
    return result == 2 ? SizeFromReply(reply) : -1;
}

}  // namespace vollum
