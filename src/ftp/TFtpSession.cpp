#include "ftp/TFtpSession.h"

#include "common/Terminate.h"
#include "common/UserPrompts.h"

namespace vollum {

TFtpSession::TFtpSession(UserPrompts& prompts, QObject* parent)
    : QObject(parent),
      Prompts(prompts),
      control_(transcript_, prompts),
      data_(control_, transcript_, prompts, Settings),
      retrieve_({control_, data_, transcript_, meter_, prompts, Settings}),
      store_({control_, data_, transcript_, meter_, prompts, Settings}) {
    control_.OnCommandDone = [this](const std::string& line, int result) { AfterCommand(line, result); };
    store_.Features = [this]() -> const ServerFeatures& { return Features(); };
}

TFtpSession::~TFtpSession() = default;

void TFtpSession::ApplySettings() {
    control_.SetTimeout(Settings.ConnectionTimeOut);
    data_.Prepare(Settings.FtpTimeOut);
    transcript_.SetLog(Settings.ProgramDir, Settings.UseLogFile);
}

void TFtpSession::ListDirectory(const std::string& format, std::initializer_list<FmtArg> args) {
    ReceiveData(Format(format, args), "", "TYPE A");
}

void TFtpSession::MeterCancel() {
    data_.Close();
    LogLine("Transfer aborted by user");
    if (!store_.PartialName().empty()) LogLine("Partial upload kept as " + store_.PartialName() + " for the next run");
    TerminateProgram(1);
}

}  // namespace vollum
