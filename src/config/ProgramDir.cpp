#include "config/ProgramDir.h"

#include <QCoreApplication>

#include "common/Helpers.h"
#include "platform/SystemDefaults.h"

namespace vollum {

std::string ProgramDirectory() {
    const std::string exe = ExecutablePath();
    if (!exe.empty()) return AddBackslash(DirectoryPart(exe));
    // Where the system cannot tell, Qt knows the executable's path once the application object exists.
    if (QCoreApplication::instance())
        return AddBackslash(QCoreApplication::applicationDirPath().toLocal8Bit().toStdString());
    return "./";
}

}  // namespace vollum
