#include "ftp/TempJournal.h"

#include "common/LineFields.h"
#include "platform/SettingsFile.h"

namespace vollum {

namespace {

std::string LineOf(const TempEntry& e) { return JoinFields({e.server, e.directory, e.name}); }

// Whether text holds the line (each line ends in LF), and where.
size_t Find(const std::string& text, const std::string& line) {
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        if (text.compare(at, end + 1 - at, line) == 0) return at;
        at = end + 1;
    }
    return std::string::npos;
}

}  // namespace

bool TempJournal::Add(const TempEntry& entry) {
    const std::string line = LineOf(entry);
    return RewriteLocked(path_, [&](const std::string& text) -> std::optional<std::string> {
        if (Find(text, line) != std::string::npos) return std::nullopt;
        // A line cut by a crash gets its end back, so the new one stays whole.
        return text + (text.empty() || text.back() == '\n' ? "" : "\n") + line;
    });
}

bool TempJournal::Remove(const TempEntry& entry) {
    const std::string line = LineOf(entry);
    return RewriteLocked(path_, [&](const std::string& text) -> std::optional<std::string> {
        const size_t at = Find(text, line);
        if (at == std::string::npos) return std::nullopt;
        return text.substr(0, at) + text.substr(at + line.size());
    });
}

bool TempJournal::Holds(const TempEntry& entry) const {
    const std::optional<std::string> text = ReadWholeFile(path_);
    return text && Find(*text, LineOf(entry)) != std::string::npos;
}

}  // namespace vollum
