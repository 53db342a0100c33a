// Two spool runs over one program directory: the second finds the first at work.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {
namespace {

// A server that takes connections and never says a word: a run that reaches
// it waits for the greeting, holding whatever it holds.
class SilentServer {
public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(fd_, 4);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~SilentServer() {
        for (int c : accepted_) ::close(c);
        ::close(fd_);
    }
    int Port() const { return port_; }
    // Accepts what arrives within waitMs; returns how many connections came in total.
    size_t Accept(int waitMs) {
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, waitMs) > 0) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) break;
            accepted_.push_back(c);
            waitMs = 0;
        }
        return accepted_.size();
    }

private:
    int fd_ = -1, port_ = 0;
    std::vector<int> accepted_;
};

TEST(SpoolLock, aSecondRunTouchesNothingEndsWithCode6AndTheLockGoesWithTheFirst) {
    PyFtpServer server;
    VollumProgramDir program;
    const std::string S = program.Spool();
    PutFile(S + "/a.txt", "a");
    PutFile(S + "/d/b.txt", "b");
    const auto before = TreeListing(S);

    SilentServer silent;
    program.WriteIni(silent.Port(), "user", "secret", true, {{"ConnectionTimeOut", "60"}});
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(QString::fromStdString(program.Path()));
    first.start(QString::fromStdString(program.Path() + "/Vollum"), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_EQ(silent.Accept(20000), 1u) << "the first run is waiting for the greeting";

    const VollumResult second = program.Run({}, 20000);
    EXPECT_EQ(second.exitCode, 6) << second.stderrText;
    EXPECT_NE(second.stderrText.find("Another Vollum is sending the spool files"), std::string::npos)
        << second.stderrText;
    EXPECT_EQ(silent.Accept(0), 1u) << "the second run connected";
    EXPECT_EQ(TreeListing(S), before);
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "1");

    // Killed at any moment, the first run leaves the spool free for the next one.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    program.WriteIni(server.Port(), server.User(), server.Password(), true);
    const VollumResult next = program.Run();
    EXPECT_EQ(next.exitCode, 0) << next.stderrText;
    EXPECT_TRUE(TreeListing(S).empty());
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "0");
}

}  // namespace
}  // namespace vollum::test
