#include "ftp/TFtpSession.h"

#include "common/UserPrompts.h"

namespace vollum {

TFtpSession::TFtpSession(UserPrompts& prompts, QObject* parent) : QObject(parent), Prompts(prompts) {
    Sockets1.SetNonBlocking(false);
    Sockets2.SetNonBlocking(false);
    Sockets1.SetPrompts(&prompts);
    Sockets2.SetPrompts(&prompts);
    auto handler = [this](TSockets* s, int socket, int error, const std::string& msg) {
        Sockets1ErrorOccurred(s, socket, error, msg);
    };
    Sockets1.OnErrorOccurred = handler;
    Sockets2.OnErrorOccurred = handler;
    Sockets1.MaximumReceiveLength = 255;
    Sockets2.MaximumReceiveLength = 255;
    Sleeper1.SetInterval(1000);
}

TFtpSession::~TFtpSession() = default;

void TFtpSession::ApplySettings() {
    Sockets1.Timeout = Settings.ConnectionTimeOut;
    Sockets2.Timeout = Settings.FtpTimeOut;
    Log.ProgramDir = Settings.ProgramDir;
    Log.UseLogFile = Settings.UseLogFile;
}

}  // namespace vollum
