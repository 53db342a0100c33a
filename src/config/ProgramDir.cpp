#include "config/ProgramDir.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "common/Errors.h"
#include "common/Helpers.h"
#include "platform/LocalFiles.h"
#include "platform/ProcessStart.h"
#include "platform/StartAtLogin.h"
#include "platform/SystemDefaults.h"

namespace vollum {

namespace fs = std::filesystem;

namespace {

// Where packages put programs: a program there keeps its files in the user's
// folders even when the folder is writable (as it is for root), so that no run
// leaves files in a folder the package manager owns.
const char* const kSystemProgramFolders[] = {"/usr/bin", VOLLUM_INSTALL_BINDIR};

bool SameDirectory(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

bool IsSystemProgramFolder(const std::string& dir) {
    for (const char* folder : kSystemProgramFolders)
        if (SameDirectory(dir, folder)) return true;
    return false;
}

std::string WithoutSeparator(std::string dir) {
    while (dir.size() > 1 && dir.back() == kPathSep) dir.pop_back();
    return dir;
}

std::string PrivateFolder(const std::string& dir, const std::string& iniName) {
    // A folder that cannot be made shows up later, where a file in it fails to be written.
    MakePrivateDirectory(dir);
    const std::string problem = PrivateFolderProblem(dir, iniName);
    if (!problem.empty()) throw EUntrustedFolder(problem);
    return AddBackslash(dir);
}

}  // namespace

std::string ExecutableDirectory() {
    const std::string exe = ExecutablePath();
    if (!exe.empty()) return AddBackslash(DirectoryPart(exe));
    // Where the system cannot tell, Qt knows the executable's path once the application object exists.
    if (QCoreApplication::instance())
        return AddBackslash(QCoreApplication::applicationDirPath().toLocal8Bit().toStdString());
    return "./";
}

bool PortableDirectory(const std::string& exeDir, const std::string& iniName) {
    if (IsSystemProgramFolder(exeDir)) return false;
    return LocalFileExists(AddBackslash(exeDir) + iniName) || DirectoryWritable(exeDir);
}

std::string ProgramDirectoryOf(const std::string& exeDir) {
    if (PortableDirectory(exeDir, "VOLLUM.INI")) return AddBackslash(exeDir);
    return AddBackslash(DataHome() + kPathSep + "vollum");
}

std::string ProgramDirectory() {
    const std::string exeDir = ExecutableDirectory();
    const std::string dir = ProgramDirectoryOf(exeDir);
    return dir == AddBackslash(exeDir) ? dir : PrivateFolder(dir, "VOLLUM.INI");
}

std::string CompanionSettingsDirectory() {
    const std::string exeDir = ExecutableDirectory();
    if (PortableDirectory(exeDir, "SPOOLBAY.INI")) return exeDir;
    return PrivateFolder(ConfigHome() + kPathSep + "spoolbay", "SPOOLBAY.INI");
}

std::string DefaultClientDirectory(const std::string& companionDir) {
    if (PortableDirectory(companionDir, "SPOOLBAY.INI")) return std::string();
    return WithoutSeparator(ProgramDirectoryOf(companionDir));
}

std::string ClientProgramFor(const std::string& clientDir, const std::string& companionDir) {
    const std::string inClientDir = AddBackslash(clientDir) + ClientProgramName();
    if (KindOf(inClientDir) == EntryKind::File) return inClientDir;
    std::string candidates[] = {
        AddBackslash(companionDir) + ClientProgramName(),
        QStandardPaths::findExecutable(QString::fromStdString(ClientProgramName())).toLocal8Bit().toStdString(),
    };
    for (const std::string& program : candidates) {
        if (program.empty() || KindOf(program) != EntryKind::File) continue;
        if (SameDirectory(ProgramDirectoryOf(DirectoryPart(program)), clientDir)) return program;
    }
    return inClientDir;
}

}  // namespace vollum
