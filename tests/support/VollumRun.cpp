#include "support/VollumRun.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "config/TIniFile.h"
#include "platform/ProcessStart.h"
#include "support/Processes.h"

namespace vollum::test {

namespace fs = std::filesystem;

VollumProgramDir::VollumProgramDir() {
    fs::copy_file(std::string(VOLLUM_BINARY_DIR) + "/Vollum", dir_ / "Vollum");
    fs::create_directory(Spool());
}

VollumProgramDir::~VollumProgramDir() { ExpectNothingRunsFrom(Path()); }

std::string VollumProgramDir::LogText() const { return ReadFile(dir_ / "VOLLUM.LOG"); }

void VollumProgramDir::WriteIni(int port, const std::string& user, const std::string& password, bool spoolArmed,
                                const std::map<std::string, std::string>& profile, bool fixedOk) {
    std::map<std::string, std::string> keys = {
        {"HostName", "127.0.0.1"}, {"UserName", user},          {"Password", password}, {"Port", std::to_string(port)},
        {"FtpTimeOut", "10"},      {"ConnectionTimeOut", "10"}, {"TransferType", "2"},  {"UseLogFile", "1"},
    };
    for (const auto& [k, v] : profile) keys[k] = v;
    std::string text = "[LastUsed]\r\nNAME=test\r\n[Fixed]\r\nOK=" + std::string(fixedOk ? "1" : "0") +
                       "\r\n[SpoolBay]\r\nExecuted=" + (spoolArmed ? "1" : "0") + "\r\n[test]\r\n";
    for (const auto& [k, v] : keys) text += k + "=" + v + "\r\n";
    WriteFile(Ini(), text);
}

std::string VollumProgramDir::IniValue(const std::string& section, const std::string& key) const {
    return TIniFile(Ini()).ReadString(section, key, "<missing>");
}

void VollumProgramDir::Start(QProcess& p, const std::vector<std::string>& arguments,
                             const std::string& workingDirectory) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    // The desktop's own bus is gone since the test's main; a bus here is a
    // test's private one (its keyring, its notification recorder).
    // As SpoolBay starts it: an armed key means a spool run.
    if (StartedBySpoolBay) env.insert(kStartedBySpoolBay, "1");
    else env.remove(kStartedBySpoolBay);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(workingDirectory.empty() ? Path() : workingDirectory));
    QStringList args;
    for (const auto& a : arguments) args << QString::fromLocal8Bit(a.data(), static_cast<qsizetype>(a.size()));
    p.start(QString::fromStdString(dir_ / "Vollum"), args);
}

VollumResult VollumProgramDir::Run(const std::vector<std::string>& arguments, int timeoutMs,
                                   const std::string& workingDirectory) const {
    QProcess p;
    Start(p, arguments, workingDirectory);
    VollumResult r;
    if (!p.waitForStarted(10000)) throw std::runtime_error("Vollum did not start");
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
    } else if (p.exitStatus() == QProcess::NormalExit) {
        r.exitCode = p.exitCode();
    }
    r.stderrText = p.readAllStandardError().toStdString();
    r.stdoutText = p.readAllStandardOutput().toStdString();
    return r;
}

VollumResult VollumProgramDir::RunKilledWhen(const std::function<bool()>& killWhen, int timeoutMs) const {
    QProcess p;
    Start(p);
    if (!p.waitForStarted(10000)) throw std::runtime_error("Vollum did not start");
    VollumResult r;
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (killWhen()) {
            r.killed = true;
            break;
        }
        if (p.waitForFinished(5)) {
            if (p.exitStatus() == QProcess::NormalExit) r.exitCode = p.exitCode();
            r.stderrText = p.readAllStandardError().toStdString();
            return r;
        }
    }
    p.kill();
    p.waitForFinished(5000);
    r.stderrText = p.readAllStandardError().toStdString();
    return r;
}

std::vector<std::string> TreeListing(const std::string& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string rel = it->path().lexically_relative(root).native();
        if (it->is_symlink()) out.push_back("l " + rel);
        else if (it->is_directory()) out.push_back("d " + rel);
        else {
            const std::string bytes = ReadFile(it->path().native());
            out.push_back("f " + rel + " " + std::to_string(bytes.size()) + " " +
                          std::to_string(std::hash<std::string>{}(bytes)));
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

int UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);  // nothing listens there now
    return ntohs(a.sin_port);
}

}  // namespace vollum::test
