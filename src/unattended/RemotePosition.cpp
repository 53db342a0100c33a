// Where the run is on the server: its start directory from the first PWD,
// and the way back there after a CWD or CDUP that failed.
#include "ftp/ReplyNumbers.h"
#include "ftp/TFtpSession.h"
#include "unattended/TUnattended.h"

namespace vollum {

void TUnattended::NotePwd(int result) {
    std::string path;
    if (result != 2 || !PathFromPwdReply(s_.LastReply(), path)) return;
    if (!startKnown_) {
        remoteStart_ = path;
        startKnown_ = true;
        return;
    }
    // Between trees the run should be at its start; anything else means a
    // directory change went astray.
    if (path != remoteStart_) ReturnToStart();
}

void TUnattended::ReturnToStart() {
    walkAbandoned_ = true;
    SomethingKept = true;  // the rest of the walk it left stays for the next run
    if (!StillConnected()) return;
    remotePath_.clear();
    if (startKnown_ && s_.FtpCommand("CWD %s", {remoteStart_}) == 2) {
        s_.LogLine("Back in start directory " + remoteStart_);
        return;
    }
    runStopped_ = true;
    const std::string text = startKnown_ ? "Could not return to start directory " + remoteStart_ + ", run ended"
                                         : "Remote directory unknown, run ended";
    s_.ShowLine("%s", {text});
    s_.LogLine(text);
}

}  // namespace vollum
