// Explicit TLS: AUTH TLS after the greeting, the server's certificate
// checked (trusted roots and host name, or the pinned fingerprint, or the
// user's word), and PBSZ/PROT after login. Never a quiet fall back to plain
// text: whatever fails closes the connection.
#include "common/UserPrompts.h"
#include "config/Fingerprint.h"
#include "config/Profiles.h"
#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"

namespace vollum {

void TFtpSession::EndWithoutTls(const std::string& text) {
    ShowLine("%s", {text});
    LogLine(text);
    control_.Disconnect();
    Prompts.MessageBox(text, "TLS", PromptButtons::Ok, PromptIcon::Exclamation);
}

bool TFtpSession::SecureControlConnection(bool mayAskTrust) {
    const std::string host = control_.HostName();
    if (!control_.Connected()) return false;
    if (FtpCommand("AUTH TLS") != 2 || LastReply().compare(0, 3, "234") != 0) {
        if (control_.Connected())
            EndWithoutTls("The server " + host + " refused AUTH TLS; disconnected without logging in");
        return false;
    }
    if (!control_.StartTls()) {
        const std::string why = control_.TlsProblem().empty() ? "abandoned" : control_.TlsProblem();
        EndWithoutTls("TLS with " + host + " failed (" + why + "); disconnected without logging in");
        return false;
    }
    if (!TrustServer(mayAskTrust)) {
        LogLine("Certificate of " + host + " not trusted; disconnected without logging in");
        ShowLine("Certificate of %s not trusted; disconnected without logging in", {host});
        control_.Disconnect();
        return false;
    }
    const TlsPeer peer = control_.Tls()->Peer();
    ShowLine("TLS %s, %s", {peer.protocol, peer.cipher});
    return true;
}

bool TFtpSession::TrustServer(bool mayAskTrust) {
    const std::string host = control_.HostName();
    const TlsPeer peer = control_.Tls()->Peer();
    if (peer.verified) {
        ShowLine("Certificate verified for %s", {host});
        return true;
    }
    const auto pinned = NormalizedFingerprint(Settings.TLSFingerprint);
    if (pinned && !peer.fingerprint.empty() && *pinned == peer.fingerprint) {
        ShowLine("Certificate of %s matches the pinned fingerprint", {host});
        return true;
    }
    std::string reason = peer.problem;
    if (pinned) reason += "; it is not the certificate pinned in the profile";
    else if (!Settings.TLSFingerprint.empty()) reason += "; the pinned TLSFingerprint is not a SHA-256 fingerprint";
    const std::string shown = peer.fingerprint.empty() ? "(none)" : FingerprintText(peer.fingerprint);
    // What a user can check the certificate by, the same for a new one and a changed one.
    const std::string details = "Subject: " + peer.subject + "\r\nIssuer: " + peer.issuer + "\r\nValid from " +
                                peer.validFrom + " until " + peer.validUntil + "\r\n";
    // A pin that no longer matches is a warning of its own: someone may stand in between.
    const bool changed = pinned && !peer.fingerprint.empty();
    const std::string text =
        changed ? "The certificate of " + host + " has CHANGED since you trusted it\r\n" + details +
                      "Pinned SHA-256 fingerprint:\r\n" + FingerprintText(*pinned) + "\r\nNew SHA-256 fingerprint:\r\n" +
                      shown + "\r\nThe new one could not be verified either (" + peer.problem + ")."
                : "The certificate of " + host + " could not be verified (" + reason + ").\r\n" + details +
                      "SHA-256 fingerprint:\r\n" + shown;
    LogLine("The certificate of " + host + " could not be verified (" + reason + "), SHA-256 " + shown);
    // Nobody to ask (or a console that would answer Yes on its own): refused.
    if (!mayAskTrust || Prompts.AnswersOnItsOwn() || peer.fingerprint.empty()) {
        Prompts.MessageBox(text, "TLS", PromptButtons::Ok, PromptIcon::Exclamation);
        return false;
    }
    const std::string question =
        text + (changed ? "\r\n\r\nTrust the new certificate and pin it in the profile in place of the old one?"
                        : "\r\n\r\nTrust this certificate and pin it in the profile?");
    if (Prompts.MessageBox(question, "TLS", changed ? PromptButtons::YesNoDefaultNo : PromptButtons::YesNo,
                           PromptIcon::Warning) != PromptAnswer::Yes)
        return false;
    Settings.TLSFingerprint = shown;
    // Only into the profile the connection was made with; a name never
    // saved keeps the pin in memory rather than leave a section of one key.
    TIniFile ini(Settings.ProgramDir + "VOLLUM.INI");
    if (!ProfileSaved(ini, Settings.ProfileName)) {
        Settings.SessionPins[Settings.ProfileName] = shown;
        ShowLine("Certificate of %s pinned for this session only: profile %s is not saved",
                 {host, Settings.ProfileName});
        LogLine("Pinned the certificate of " + host + " for this session only (profile " + Settings.ProfileName +
                " is not saved): " + shown);
        return true;
    }
    PinFingerprint(ini, Settings.ProfileName, shown);
    Settings.SessionPins.erase(Settings.ProfileName);
    ShowLine("Certificate of %s pinned in the profile", {host});
    LogLine("Pinned the certificate of " + host + " in profile " + Settings.ProfileName + ": " + shown);
    return true;
}

void TFtpSession::AfterCommand(const std::string& line, int result) {
    const std::string verb = ControlChannel::CommandVerb(line);
    if (verb == "USER" || verb == "REIN") ++loginSerial_;  // what FEAT said may change
    if (!control_.Protected()) return;
    if (verb == "USER" || verb == "REIN") data_.Protect(false);
    if (result != 2) return;
    if (verb == "PROT") {
        const size_t after = line.find_first_not_of(" \t", line.find_first_not_of(" \t") + verb.size());
        const std::string level = after == std::string::npos ? std::string() : line.substr(after);
        data_.Protect(level == "P" || level == "p");
    }
    // Not after PBSZ or PROT: a server answering those with 230 would loop.
    if (LastReply().compare(0, 3, "230") == 0 && verb != "PROT" && verb != "PBSZ") ProtectData();
}

void TFtpSession::ProtectData() {
    if (FtpCommand("PBSZ 0") == 2 && FtpCommand("PROT P") == 2) {
        data_.Protect(true);
        return;
    }
    if (!control_.Connected()) return;
    const std::string host = control_.HostName();
    FtpCommand("QUIT");
    EndWithoutTls("The server " + host + " will not protect data connections (PROT P); disconnected");
}

}  // namespace vollum
