#include "ftp/ServerFeatures.h"

namespace vollum {

namespace {
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}
}  // namespace

ServerFeatures ServerFeatures::FromReply(std::string_view reply) {
    ServerFeatures result;
    // "211-Features:", then a feature a line (RFC 2389 indents them by one
    // blank, not every server does), then "211 End".
    if (reply.substr(0, 4) != "211-") return result;
    bool first = true;
    while (!reply.empty()) {
        const size_t lf = reply.find('\n');
        std::string_view line = reply.substr(0, lf);
        reply = lf == std::string_view::npos ? std::string_view() : reply.substr(lf + 1);
        if (first) {
            first = false;
            continue;
        }
        if (line.substr(0, 4) == "211 ") break;
        line = Trimmed(line);
        if (line.empty()) continue;
        const size_t blank = line.find_first_of(" \t");
        std::string name(line.substr(0, blank));
        for (char& c : name) c = Upper(c);
        const std::string_view params = blank == std::string_view::npos ? std::string_view() : Trimmed(line.substr(blank));
        result.features_.emplace_back(std::move(name), std::string(params));
    }
    return result;
}

const std::pair<std::string, std::string>* ServerFeatures::Find(std::string_view name) const {
    for (const auto& feature : features_) {
        if (feature.first.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i) same = feature.first[i] == Upper(name[i]);
        if (same) return &feature;
    }
    return nullptr;
}

bool ServerFeatures::Has(std::string_view name) const { return Find(name) != nullptr; }

std::string ServerFeatures::Params(std::string_view name) const {
    const auto* feature = Find(name);
    return feature ? feature->second : std::string();
}

}  // namespace vollum
