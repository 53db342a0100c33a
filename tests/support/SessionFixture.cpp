#include "support/SessionFixture.h"

#include "common/Terminate.h"

namespace vollum::test {

CatchTermination::CatchTermination() {
    SetTerminateHandler([](int code) { throw ProgramEnded{code}; });
}

CatchTermination::~CatchTermination() { SetTerminateHandler({}); }

SessionFixture::SessionFixture() : session(std::make_unique<TFtpSession>(prompts)) {
    session->Settings.ProgramDir = dir.Path() + "/";
    session->Settings.ConnectionTimeOut = 5;
    session->Settings.FtpTimeOut = 5;
    session->Settings.UseLogFile = true;
    session->ApplySettings();
    session->SetMeter(&meter);
}

bool SessionFixture::ConnectTo(int port, const std::string& host) {
    return session->OpenControlConnection(host, std::to_string(port));
}

std::vector<std::string> SessionFixture::PaneLines() const {
    const auto& lines = session->Pane().Lines();
    return {lines.begin(), lines.end()};
}

void SessionFixture::Open(FakeFtpServer& server) {
    server.Start();
    ASSERT_TRUE(ConnectTo(server.Port()));
    ASSERT_EQ(session->GetReply(), 2);
}

std::vector<std::string> SessionFixture::PaneFrom(size_t first) const {
    const auto all = PaneLines();
    return first < all.size() ? std::vector<std::string>(all.begin() + static_cast<long>(first), all.end())
                              : std::vector<std::string>{};
}

std::string SessionFixture::LogText() const { return ReadFile(session->Output().LogPath()); }

}  // namespace vollum::test
