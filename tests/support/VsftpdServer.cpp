#include "support/VsftpdServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/Processes.h"
#include "support/VollumRun.h"

namespace vollum::test {

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";

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

std::string VsftpdServer::Unavailable() {
    if (!std::filesystem::exists(kVsftpd)) return std::string("vsftpd is not installed (") + kVsftpd + ")";
    if (::geteuid() != 0) return "vsftpd starts only as root";
    return "";
}

VsftpdServer::VsftpdServer(const VsftpdOptions& options) {
    if (!Start(options)) port_ = 0;
}

bool VsftpdServer::Start(const VsftpdOptions& options) {
    namespace fs = std::filesystem;
    // Anonymous sessions run as user ftp: they must reach the root and write below it.
    fs::permissions(work_.Path(), fs::perms(0755));
    fs::create_directories(UploadDir());
    fs::create_directories(work_ / "empty");
    if (QProcess::execute("chown", {"ftp", QString::fromStdString(UploadDir())}) != 0) {
        problem_ = "chown ftp failed";
        return false;
    }
    std::ofstream conf(work_ / "vsftpd.conf");
    port_ = UnusedPort();
    conf << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << port_
         << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\nanon_root=" << Root()
         << "\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\nno_anon_password=YES\nconnect_from_port_20=NO\n"
            "pasv_address=127.0.0.1\nxferlog_enable=NO\ndirmessage_enable=NO\nseccomp_sandbox=NO\n"
            "isolate_network=NO\nsecure_chroot_dir="
         << (work_ / "empty") << "\n";
    if (options.maxRate > 0) conf << "anon_max_rate=" << options.maxRate << "\n";
    if (options.tls) {
        QProcess make;
        make.start("openssl",
                   {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=localhost", "-keyout",
                    QString::fromStdString(work_ / "key.pem"), "-out", QString::fromStdString(work_ / "cert.pem")});
        if (!make.waitForFinished(60000) || make.exitCode() != 0) {
            problem_ = "openssl req: " + make.readAllStandardError().toStdString();
            return false;
        }
        QProcess print;
        print.start("openssl",
                    {"x509", "-noout", "-fingerprint", "-sha256", "-in", QString::fromStdString(work_ / "cert.pem")});
        print.waitForFinished(30000);
        const std::string line = print.readAllStandardOutput().trimmed().toStdString();
        fingerprint_ = line.substr(line.find('=') + 1);
        conf << "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
                "require_ssl_reuse=YES\nrsa_cert_file="
             << (work_ / "cert.pem") << "\nrsa_private_key_file=" << (work_ / "key.pem") << "\n";
    }
    conf.close();
    server_.start(kVsftpd, {QString::fromStdString(work_ / "vsftpd.conf")});
    if (!server_.waitForStarted(30000)) {
        problem_ = "vsftpd did not start";
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Accepts(port_) && server_.state() == QProcess::Running && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (Accepts(port_)) return true;
    problem_ = "vsftpd does not listen: " + server_.readAllStandardError().toStdString();
    return false;
}

VsftpdServer::~VsftpdServer() {
    if (server_.state() == QProcess::NotRunning) return;
    // A session's processes stay while its client is connected: they go too.
    const std::vector<int> sessions = DescendantsOf(static_cast<int>(server_.processId()));
    server_.kill();
    server_.waitForFinished(30000);
    EndProcesses(sessions, 0);
    EndProcesses(sessions, 5000);
}

}  // namespace vollum::test
