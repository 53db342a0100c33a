#include "support/Vsftpd.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/VollumRun.h"

namespace vollum::test {

namespace {

constexpr const char* kProgram = "/usr/sbin/vsftpd";

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

}  // namespace

Vsftpd::Vsftpd() {
    if (!std::filesystem::exists(kProgram)) {
        skip_ = std::string("vsftpd is not installed (") + kProgram + ")";
        return;
    }
    if (::geteuid() != 0) {
        skip_ = "vsftpd starts only as root";
        return;
    }
    // Anonymous sessions run as user ftp: they must reach the root and write below it.
    std::filesystem::permissions(work_.Path(), std::filesystem::perms(0755));
    std::filesystem::create_directories(work_ / "root/up");
    std::filesystem::create_directories(work_ / "empty");
    if (QProcess::execute("chown", {"ftp", QString::fromStdString(Root())}) != 0) {
        skip_ = "no user ftp to own the upload folder";
        return;
    }
    port_ = UnusedPort();
    std::ofstream(work_ / "vsftpd.conf")
        << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << port_
        << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\nanon_root=" << (work_ / "root")
        << "\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
           "no_anon_password=YES\nconnect_from_port_20=NO\npasv_address=127.0.0.1\nxferlog_enable=NO\n"
           "dirmessage_enable=NO\nseccomp_sandbox=NO\nisolate_network=NO\nsecure_chroot_dir="
        << (work_ / "empty") << "\n";
    server_.start(kProgram, {QString::fromStdString(work_ / "vsftpd.conf")});
    if (!server_.waitForStarted(30000)) {
        skip_ = "vsftpd did not start";
        return;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Accepts(port_) && server_.state() == QProcess::Running && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!Accepts(port_)) skip_ = "vsftpd does not listen: " + server_.readAllStandardError().toStdString();
}

Vsftpd::~Vsftpd() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.kill();
    server_.waitForFinished(30000);
}

}  // namespace vollum::test
