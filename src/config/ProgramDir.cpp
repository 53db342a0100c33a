#include "config/ProgramDir.h"

#include <QCoreApplication>

#include "common/Helpers.h"

#ifndef _WIN32
#include <unistd.h>

#include <climits>
#endif

namespace vollum {

std::string ProgramDirectory() {
#ifndef _WIN32
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return AddBackslash(DirectoryPart(std::string(buf, static_cast<size_t>(n))));
#endif
    // Without /proc (or on Windows), Qt knows the executable's path once the application object exists.
    if (QCoreApplication::instance())
        return AddBackslash(QCoreApplication::applicationDirPath().toLocal8Bit().toStdString());
    return "./";
}

}  // namespace vollum
