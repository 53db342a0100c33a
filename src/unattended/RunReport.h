#pragma once
// What a spool or drop run did, gathered as it goes, and the few lines a
// desktop notification says about it when the run ends.
#include <string>
#include <vector>

namespace vollum {

struct RunReport {
    bool ran = false;  // a spool or drop run began
    int filesSent = 0;
    struct KeptFile {
        std::string path, why;
    };
    std::vector<KeptFile> kept;  // in the order met, each path once
    // Why the run could not begin or go on ("Connection to HOST failed",
    // "Connection lost"); empty when nothing ended it early.
    std::string error;

    // A path met again keeps the reason it was first kept for.
    void Keep(const std::string& path, const std::string& why);
};

struct NotificationText {
    std::string summary, body;
};

// Files sent, the first kept files with their reasons (the count of the
// rest), or the error.
NotificationText RunNotification(const RunReport& report);

constexpr size_t kKeptFilesNamed = 3;
// Why a file whose store failed or was cut short stays.
constexpr const char* kNotStoredWhole = "it was not stored whole";

}  // namespace vollum
