#include "unattended/RunReport.h"

#include "common/Helpers.h"

namespace vollum {

void RunReport::Keep(const std::string& path, const std::string& why) {
    for (const KeptFile& k : kept)
        if (k.path == path) return;
    kept.push_back({path, why});
}

namespace {
std::string Files(int n) { return std::to_string(n) + (n == 1 ? " file" : " files"); }
}  // namespace

NotificationText RunNotification(const RunReport& report) {
    NotificationText text;
    const int keptCount = static_cast<int>(report.kept.size());
    if (report.filesSent == 0 && keptCount == 0 && !report.error.empty()) {
        text.summary = "Vollum: nothing sent";
        text.body = report.error;
        return text;
    }
    text.summary = "Vollum sent " + Files(report.filesSent);
    if (keptCount > 0) text.summary += ", kept " + std::to_string(keptCount);
    std::vector<std::string> lines;
    if (!report.error.empty()) lines.push_back(report.error);
    for (size_t i = 0; i < report.kept.size() && i < kKeptFilesNamed; ++i)
        lines.push_back("Kept " + LastPathComponent(report.kept[i].path) + ": " + report.kept[i].why);
    if (report.kept.size() > kKeptFilesNamed)
        lines.push_back("and " + Files(keptCount - static_cast<int>(kKeptFilesNamed)) + " more, see VOLLUM.LOG");
    for (const std::string& line : lines) text.body += (text.body.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace vollum
