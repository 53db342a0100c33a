// Stores under a temporary name: what is left from a run before, the rename
// into place, and the servers that will not rename.
#include <memory>

#include "ftp/StoreOperation.h"
#include "ftp/TempNames.h"

namespace vollum {

namespace {
constexpr int kListBlock = 64 * 1024;
constexpr size_t kMaxListing = 64u << 20;  // names beyond it are not looked at
const char* const kBinary = "TYPE I";
}  // namespace

bool StoreOperation::UsesTempNames() const {
    return p_.settings.TempUpload && renamesRefusedOn_ != p_.control.ConnectionSerial();
}

StoreOperation::TempPlan StoreOperation::PlanTemp(const std::string& typeCommand, const std::string& finalName,
                                                  const FileIdentity& file) {
    const std::string tag = TempTag(file);
    TempPlan plan{TempName(finalName, tag), 0};
    const bool listed = ListNames(typeCommand);
    // Left for another version of the file: of no use to anyone now.
    for (const std::string& name : std::set<std::string>(listed_)) {
        const std::string other = TempTagOf(name, finalName);
        if (other.empty() || other == tag) continue;
        if (p_.control.FtpCommand("DELE %s", {name}) == 2) listed_.erase(name);
    }
    // In ASCII and EBCDIC the server's byte count is not the file's.
    if (typeCommand != kBinary || (listed && listed_.count(plan.name) == 0)) return plan;
    p_.control.SetType(typeCommand);
    bool unsupported = false;
    const long long held = RemoteSize(plan.name, unsupported);
    if (held > 0 && held < file.size) plan.offset = held;
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
    auto renameTo = [&] { return control.FtpCommand("RNTO %s", {finalName}) == 2; };
    if (control.FtpCommand("RNFR %s", {temp}) == 3) {
        // A server that will not rename onto an existing name lets the old file go first.
        if (renameTo() || (control.Connected() && control.FtpCommand("DELE %s", {finalName}) == 2 &&
                           control.FtpCommand("RNFR %s", {temp}) == 3 && renameTo())) {
            listed_.erase(temp);
            return Placed::Done;
        }
    }
    if (!control.Connected()) return Placed::Failed;
    renamesRefusedOn_ = control.ConnectionSerial();
    text.LogLine("The server does not allow renames: files are stored under their final names");
    text.ShowLine("The server does not allow renames: files are stored under their final names");
    if (control.FtpCommand("DELE %s", {temp}) == 2) listed_.erase(temp);
    partial_.clear();
    return Placed::RenamesRefused;
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
