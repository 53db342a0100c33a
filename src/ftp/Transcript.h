#pragma once
// What the session shows and records: the output pane (whole lines, the
// pending one held until its line feed) and the log file VOLLUM.LOG.
#include <functional>
#include <initializer_list>
#include <string>

#include "common/Format.h"
#include "ftp/OutputPane.h"
#include "ftp/SessionLog.h"

namespace vollum {

class Transcript {
public:
    // Text as it came: a line reaches the pane at its LF (its CR stays),
    // NULs are dropped, a single byte is not shown.
    void ShowText(const std::string& text);
    void ShowLine(const std::string& format, std::initializer_list<FmtArg> args = {});
    // Raises EInOutError when the record cannot be written.
    void LogLine(const std::string& text);
    // When set, takes the records instead of VOLLUM.LOG: an upload worker
    // hands them to the run that writes them in completion order.
    std::function<void(const std::string&)> LogSink;

    OutputPane& Pane() { return pane_; }
    const OutputPane& Pane() const { return pane_; }
    // The line still waiting for its line feed.
    const std::string& PendingLine() const { return pending_; }
    void ClearPendingLine() { pending_.clear(); }

    void SetLog(const std::string& programDir, bool useLogFile);
    void SetLogDirectory(const std::string& programDir) { log_.ProgramDir = programDir; }
    std::string LogPath() const { return log_.Path(); }

private:
    OutputPane pane_;
    SessionLog log_;
    std::string pending_;
    bool dropping_ = false;  // the pending line outgrew the pane: skip to its line feed
};

}  // namespace vollum
