// FEAT, and remote folders read as entries.
#include "ftp/ListingParser.h"
#include "ftp/TFtpSession.h"

namespace vollum {

const ServerFeatures& TFtpSession::Features() {
    const int connection = control_.ConnectionSerial();
    if (featuresConnection_ == connection && featuresLogin_ == loginSerial_) return features_;
    features_ = ServerFeatures();
    if (!Connected() || control_.Busy()) return features_;
    std::string reply;
    control_.CaptureReplies(&reply);
    const int result = FtpCommand("FEAT");
    control_.CaptureReplies(nullptr);
    // Only an answer counts as one: a failure to ask is asked again next time.
    if (result < 0 || !Connected() || reply.empty()) return features_;
    features_ = ServerFeatures::FromReply(reply);
    featuresConnection_ = connection;
    featuresLogin_ = loginSerial_;
    return features_;
}

bool TFtpSession::ListEntries(const std::string& path, std::vector<ListingEntry>& out) {
    out.clear();
    if (RefuseIfBusy()) return false;
    const std::string argument = path.empty() ? std::string() : " " + path;
    const int connection = control_.ConnectionSerial();
    const bool mlsd = mlsdRefusedConnection_ != connection && Features().Has("MLST");
    ListingParser parser(mlsd ? ListingFormat::Mlsd : ListingFormat::List);
    const auto feed = [&parser](std::string_view bytes) { parser.Feed(bytes); };
    bool whole = retrieve_.List((mlsd ? "MLSD" : "LIST") + argument, feed);
    parser.Finish();
    out = parser.TakeEntries();
    const std::string code = LastReply().substr(0, 3);
    if (mlsd && !whole && out.empty() && Connected() && (code == "500" || code == "502")) {
        // MLST announced but MLSD not known: LIST from now on.
        mlsdRefusedConnection_ = connection;
        ListingParser again(ListingFormat::List);
        whole = retrieve_.List("LIST" + argument, [&again](std::string_view bytes) { again.Feed(bytes); });
        again.Finish();
        out = again.TakeEntries();
    }
    return whole;
}

bool TFtpSession::CurrentDirectory(std::string& out) {
    out.clear();
    if (FtpCommand("PWD") != 2) return false;
    // 257 "/a ""quoted"" name" is here: a quote inside is doubled.
    const std::string& reply = LastReply();
    size_t at = reply.find('"');
    if (reply.compare(0, 3, "257") != 0 || at == std::string::npos) return false;
    for (++at; at < reply.size(); ++at) {
        if (reply[at] != '"') {
            out += reply[at];
        } else if (at + 1 < reply.size() && reply[at + 1] == '"') {
            out += '"';
            ++at;
        } else {
            return true;
        }
    }
    out.clear();
    return false;
}

}  // namespace vollum
