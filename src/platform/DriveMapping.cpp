#include "platform/DriveMapping.h"

namespace vollum {

std::optional<char> DriveLetter(const std::string& driveText) {
    if (driveText.size() < 2 || driveText.size() > 3 || driveText[1] != ':') return std::nullopt;
    if (driveText.size() == 3 && driveText[2] != '/' && driveText[2] != '\\') return std::nullopt;
    const char c = driveText[0];
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return c;
    return std::nullopt;
}

}  // namespace vollum

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/Helpers.h"

namespace vollum {

namespace fs = std::filesystem;

namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string LinkPath(char letter) { return DrivesFolder() + kPathSep + letter; }

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int Map(char letter, const std::string& dirArg, std::ostream& err) {
    std::error_code ec;
    const fs::path dir = fs::absolute(dirArg, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        err << "Path not found - " << dirArg << "\n";
        return 1;
    }
    const std::string folder = DrivesFolder();
    fs::create_directories(folder, ec);
    if (ec) {
        err << "Cannot create " << folder << ": " << ec.message() << "\n";
        return 1;
    }
    const std::string link = LinkPath(letter);
    // symlink() refuses an existing name, so a drive already in use stays as it is.
    if (::symlink(dir.lexically_normal().c_str(), link.c_str()) != 0) {
        if (errno == EEXIST) err << "Drive already SUBSTed\n";
        else err << "Cannot map " << letter << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    return 0;
}

int Release(char letter, std::ostream& err) {
    const std::string link = LinkPath(letter);
    // Only a link is ever removed: whatever else lies there is the user's.
    if (!IsLink(link)) {
        err << "Invalid parameter - " << letter << ":\n";
        return 1;
    }
    if (::unlink(link.c_str()) != 0) {
        err << "Cannot release " << letter << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    return 0;
}

int List(std::ostream& out) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(DrivesFolder(), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().native();
        if (name.size() != 1 || !DriveLetter(name + ":") || !it->is_symlink(ec)) continue;
        out << name << ":/: => " << fs::read_symlink(it->path(), ec).native() << "\n";
    }
    return 0;
}

}  // namespace

DriveType QueryDriveType(const std::string& root) {
    const auto letter = DriveLetter(root);
    if (!letter) return DriveType::NoRootDir;
    struct stat st {};
    return ::lstat(LinkPath(*letter).c_str(), &st) == 0 ? DriveType::Fixed : DriveType::NoRootDir;
}

std::string DrivesFolder() {
    const char* chosen = std::getenv("VOLLUM_DRIVES");
    std::string folder = chosen && *chosen ? std::string(chosen) : HomeDirectory() + kPathSep + "Drives";
    while (folder.size() > 1 && folder.back() == kPathSep) folder.pop_back();
    return folder;
}

std::string DefaultSubstTool(const std::string& programDir) { return programDir + "vollum-subst"; }

int RunSubstTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return List(out);
    const auto letter = DriveLetter(args[0]);
    if (args.size() != 2 || !letter) {
        err << "Usage: vollum-subst DRIVE: DIRECTORY   map the drive onto the directory\n"
               "       vollum-subst DRIVE: /D          release the drive\n"
               "The drives appear as links in "
            << DrivesFolder() << "\n";
        return 1;
    }
    if (args[1] == "/D" || args[1] == "/d") return Release(*letter, err);
    return Map(*letter, args[1], err);
}

}  // namespace vollum
#endif
