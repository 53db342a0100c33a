#pragma once
// VOLLUM.LOG: one time-stamped record per line, CR LF, appended; opened and
// closed per record so the file is complete after each line.
#include <string>

namespace vollum {

class SessionLog {
public:
    std::string ProgramDir;  // ends in the separator
    bool UseLogFile = true;

    // Raises EInOutError when the record cannot be written.
    void LogLine(const std::string& text) const;
    std::string Path() const { return ProgramDir + "VOLLUM.LOG"; }
    // "short date" + " " + "long time" in the user's locale.
    static std::string TimeStamp();
};

}  // namespace vollum
