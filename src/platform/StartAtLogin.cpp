#include "platform/StartAtLogin.h"

namespace vollum {

ERegistryError::ERegistryError(const std::string& valueName)
    : VollumError("Failed to set data for '" + valueName + "'") {}

namespace {

// An Exec argument: quoted, with the characters the quoting reserves escaped,
// then escaped once more as a desktop-entry string value.
std::string ExecArgument(const std::string& arg) {
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\') out += "\\\\";
        else if (c == '%') out += "%%";
        else out += c;
    }
    return out;
}

}  // namespace

std::string AutostartEntryText(const std::string& name, const std::string& program, const std::string& argument) {
    std::string text = "[Desktop Entry]\nType=Application\nName=" + name + "\n";
    if (program.empty()) return text + "Exec=\nHidden=true\n";
    return text + "Exec=" + ExecArgument(program) + (argument.empty() ? "" : " " + argument) +
           "\nX-GNOME-Autostart-enabled=true\n";
}

}  // namespace vollum

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/Helpers.h"

namespace vollum {

namespace fs = std::filesystem;

namespace {
std::string XdgFolder(const char* variable, const char* underHome) {
    const char* xdg = std::getenv(variable);
    if (xdg && xdg[0] == kPathSep) return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == kPathSep) return home + std::string(underHome);
    // Without HOME (some service managers): the user's home from the password database, never "/".
    const passwd* entry = ::getpwuid(::geteuid());
    const std::string dir = entry && entry->pw_dir ? entry->pw_dir : "";
    return (dir.size() > 1 ? dir : std::string("/nonexistent")) + underHome;
}
}  // namespace

std::string ConfigHome() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }
std::string DataHome() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

bool StartAtLoginAvailable() {
    std::error_code ec;
    return fs::is_directory(ConfigHome(), ec);
}

void WriteStartAtLogin(const std::string& name, const std::string& program, const std::string& argument) {
    // A name or path with a line break would split the entry into other keys.
    if (name.find_first_of("/\r\n") != std::string::npos || program.find_first_of("\r\n") != std::string::npos)
        throw ERegistryError(name);
    std::error_code ec;
    const std::string folder = ConfigHome() + "/autostart";
    fs::create_directories(folder, ec);
    const std::string path = folder + kPathSep + name + ".desktop";
    const std::string temp = path + ".new";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        f << AutostartEntryText(name, program, argument);
        f.flush();
        if (!f) {
            fs::remove(temp, ec);
            throw ERegistryError(name);
        }
    }
    // The desktop reads either the old entry or the new one, never half of one.
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw ERegistryError(name);
    }
}

std::optional<std::string> ReadClientDirectoryRecord() {
    std::ifstream f(ConfigHome() + "/Vollum97 Path", std::ios::binary);
    if (!f) return std::nullopt;
    std::string line;
    std::getline(f, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace vollum
#endif
