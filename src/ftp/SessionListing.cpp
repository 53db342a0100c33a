// FEAT, and remote folders read as entries.
#include <algorithm>
#include <iterator>

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

void TFtpSession::AskForListingFacts() {
    const int connection = control_.ConnectionSerial();
    if (factsConnection_ == connection && factsLogin_ == loginSerial_) return;
    factsConnection_ = connection;
    factsLogin_ = loginSerial_;
    // "type*;size*;modify*;perm*;unix.mode;": a star marks a fact the server
    // sends unasked. The ones the list shows are asked for when offered and
    // not sent already (pyftpdlib leaves unix.mode out).
    static const std::string kWanted[] = {"type", "size", "modify", "perm", "unix.mode"};
    const std::string offered = Features().Params("MLST");
    std::string ask;
    bool missing = false;
    size_t at = 0;
    while (at < offered.size()) {
        size_t end = offered.find(';', at);
        if (end == std::string::npos) end = offered.size();
        std::string fact = offered.substr(at, end - at);
        at = end + 1;
        const bool sent = !fact.empty() && fact.back() == '*';
        if (sent) fact.pop_back();
        std::string lower = fact;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (std::find(std::begin(kWanted), std::end(kWanted), lower) == std::end(kWanted)) continue;
        ask += fact + ";";
        missing = missing || !sent;
    }
    if (missing) FtpCommand("OPTS MLST %s", {ask});
}

bool TFtpSession::ListEntries(const std::string& path, std::vector<ListingEntry>& out) {
    out.clear();
    if (RefuseIfBusy()) return false;
    const std::string argument = path.empty() ? std::string() : " " + path;
    const int connection = control_.ConnectionSerial();
    const bool mlsd = mlsdRefusedConnection_ != connection && Features().Has("MLST");
    if (mlsd) AskForListingFacts();
    ListingParser parser(mlsd ? ListingFormat::Mlsd : ListingFormat::List);
    const auto feed = [&parser](std::string_view bytes) { parser.Feed(bytes); };
    bool whole = retrieve_.List((mlsd ? "MLSD" : "LIST") + argument, feed);
    parser.Finish();
    out = parser.TakeEntries();
    size_t dropped = parser.Dropped();
    const std::string code = LastReply().substr(0, 3);
    if (mlsd && !whole && out.empty() && Connected() && (code == "500" || code == "502")) {
        // MLST announced but MLSD not known: LIST from now on.
        mlsdRefusedConnection_ = connection;
        ListingParser again(ListingFormat::List);
        whole = retrieve_.List("LIST" + argument, [&again](std::string_view bytes) { again.Feed(bytes); });
        again.Finish();
        out = again.TakeEntries();
        dropped = again.Dropped();
    }
    if (dropped > 0) {
        // Not all of the folder: nothing may act on it as if it were.
        const std::string text = "The listing was cut after " + std::to_string(out.size()) + " entries; " +
                                 std::to_string(dropped) + " more were not kept";
        ShowLine("%s", {text});
        LogLine(text);
        whole = false;
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
