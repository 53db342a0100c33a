// The companion's platform operations on Windows: SUBST, the drive-type query,
// the Run key and the client-path key. Not part of the Linux build.
#ifdef _WIN32
#include <windows.h>

#include "platform/DriveMapping.h"
#include "platform/ProcessStart.h"
#include "platform/StartAtLogin.h"

namespace vollum {

DriveType QueryDriveType(const std::string& root) {
    std::string r = root;
    if (!r.empty() && r.back() != '\\') r += '\\';
    switch (::GetDriveTypeA(r.c_str())) {
        case DRIVE_REMOVABLE: return DriveType::Removable;
        case DRIVE_FIXED: return DriveType::Fixed;
        case DRIVE_REMOTE: return DriveType::Remote;
        case DRIVE_CDROM: return DriveType::CdRom;
        case DRIVE_RAMDISK: return DriveType::RamDisk;
        case DRIVE_NO_ROOT_DIR: return DriveType::NoRootDir;
        default: return DriveType::Unknown;
    }
}

std::string DrivesFolder() { return std::string(); }
std::string DefaultSubstTool(const std::string&) { return std::string(); }
int RunSubstTool(const std::vector<std::string>&, std::ostream& out, std::ostream&) {
    out << "Use SUBST on Windows\n";
    return 1;
}

bool StartHidden(const std::string& program, const std::vector<std::string>& args) {
    std::string commandLine = program;
    for (const auto& a : args) commandLine += " " + a;
    return ::WinExec(commandLine.c_str(), SW_HIDE) >= 32;
}

std::string ClientProgramName() { return "Vollum.EXE"; }

std::string ConfigHome() { return std::string(); }
std::string DataHome() { return std::string(); }

namespace {
const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

bool HasDefaultValue(HKEY key) { return ::RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr) == 0; }
}  // namespace

bool StartAtLoginAvailable() {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool ok = HasDefaultValue(key);
    ::RegCloseKey(key);
    return ok;
}

void WriteStartAtLogin(const std::string& name, const std::string& program, const std::string& argument) {
    const std::string data = program.empty() ? std::string() : program + " " + argument;
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        throw ERegistryError(name);
    const LONG rc = ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                     static_cast<DWORD>(data.size() + 1));
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS) throw ERegistryError(name);
}

std::optional<std::string> ReadClientDirectoryRecord() {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Vollum97 Path", 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    char buf[1024];
    DWORD size = sizeof buf;
    DWORD type = 0;
    const LONG rc = ::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return std::string(buf, size > 0 ? size - 1 : 0);
}

}  // namespace vollum
#endif
