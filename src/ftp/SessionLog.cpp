#include "ftp/SessionLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/Errors.h"
#include "platform/LocalFiles.h"

namespace vollum {

std::string SessionLog::TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[128];
    // %x and %X are the locale's own date and time forms (LC_TIME).
    const size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return std::string(buf, n);
}

void SessionLog::LogLine(const std::string& text) const {
    if (!UseLogFile) return;
    const std::string path = Path();
    // Owner only: the record of a session is nobody else's business.
    std::FILE* f = OpenPrivateForAppend(path);
    if (!f) throw EInOutError("I/O error " + std::to_string(errno) + ": " + path + ": " + std::strerror(errno));
    const std::string record = TimeStamp() + " " + text + "\r\n";
    const bool wrote = std::fwrite(record.data(), 1, record.size(), f) == record.size();
    const bool closed = std::fclose(f) == 0;
    if (!wrote || !closed) throw EInOutError("I/O error: " + path);
}

}  // namespace vollum
