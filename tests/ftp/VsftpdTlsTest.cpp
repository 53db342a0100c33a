// Several protected transfers in one session against vsftpd, which takes a
// data connection only when it resumes the control connection's TLS session
// (require_ssl_reuse, its default), in both data connection modes.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TransferTestSupport.h"

namespace vollum::test {
namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

class VsftpdTls : public SessionFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kVsftpd)) GTEST_SKIP() << "vsftpd is not installed (" << kVsftpd << ")";
        if (::geteuid() != 0) GTEST_SKIP() << "vsftpd starts only as root";
        // Anonymous sessions run as user ftp: they must reach the root and write below it.
        std::filesystem::permissions(work.Path(), std::filesystem::perms(0755));
        std::filesystem::create_directories(work / "root/up");
        std::filesystem::create_directories(work / "empty");
        ASSERT_EQ(QProcess::execute("chown", {"ftp", QString::fromStdString(work / "root/up")}), 0);
        QProcess make;
        make.start("openssl",
                   {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=localhost", "-keyout",
                    QString::fromStdString(work / "key.pem"), "-out", QString::fromStdString(work / "cert.pem")});
        ASSERT_TRUE(make.waitForFinished(60000) && make.exitCode() == 0) << make.readAllStandardError().toStdString();
        const int port = FreePort();
        std::ofstream(work / "vsftpd.conf")
            << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << port
            << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\nanon_root=" << (work / "root")
            << "\nanon_upload_enable=YES\nanon_umask=022\nno_anon_password=YES\nconnect_from_port_20=NO\n"
               "pasv_address=127.0.0.1\nxferlog_enable=NO\ndirmessage_enable=NO\nseccomp_sandbox=NO\n"
               "isolate_network=NO\nsecure_chroot_dir="
            << (work / "empty")
            << "\nssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
               "require_ssl_reuse=YES\nrsa_cert_file="
            << (work / "cert.pem") << "\nrsa_private_key_file=" << (work / "key.pem") << "\n";
        server.start(kVsftpd, {QString::fromStdString(work / "vsftpd.conf")});
        ASSERT_TRUE(server.waitForStarted(30000)) << "vsftpd did not start";
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Accepts(port) && server.state() == QProcess::Running && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(Accepts(port)) << "vsftpd does not listen: " << server.readAllStandardError().toStdString();

        session->Settings.UseTLS = true;
        session->Settings.PassiveMode = GetParam();
        QProcess print;
        print.start("openssl",
                    {"x509", "-noout", "-fingerprint", "-sha256", "-in", QString::fromStdString(work / "cert.pem")});
        ASSERT_TRUE(print.waitForFinished(30000));
        const std::string line = print.readAllStandardOutput().trimmed().toStdString();
        session->Settings.TLSFingerprint = line.substr(line.find('=') + 1);
        ASSERT_TRUE(ConnectTo(port));
        ASSERT_TRUE(session->WaitGreeting(false));
        session->SendLogin("anonymous", "test@localhost", "");
        ASSERT_TRUE(session->Data().Protecting());
    }
    void TearDown() override {
        if (server.state() == QProcess::NotRunning) return;
        server.kill();
        server.waitForFinished(30000);
    }
    TempDir work, files;
    QProcess server;
};

TEST_P(VsftpdTls, everyDataConnectionResumesTheSession) {
    const std::string bytes = RandomBytes(300000, 5);
    WriteFile(work / "root/a.bin", bytes);
    for (int round = 0; round < 2; ++round) {
        session->ReceiveData("a.bin", files / "down", "TYPE I");
        EXPECT_TRUE(ReadFile(files / "down") == bytes) << "retrieve, round " << round;
        EXPECT_EQ(session->PaneReplyCode(), 226) << "retrieve, round " << round;
        session->ListDirectory("LIST");
        EXPECT_EQ(session->PaneReplyCode(), 226) << "listing, round " << round;
        WriteFile(files / "up", bytes);
        EXPECT_TRUE(session->StoreFile("TYPE I", files / "up", "up/b" + std::to_string(round)));
        EXPECT_TRUE(ReadFile(work / ("root/up/b" + std::to_string(round))) == bytes) << "store, round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(ActiveAndPassive, VsftpdTls, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Passive" : "Active"; });

}  // namespace
}  // namespace vollum::test
