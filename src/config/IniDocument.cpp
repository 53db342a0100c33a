#include "config/IniDocument.h"

#include "common/Convert.h"
#include "platform/SystemDefaults.h"

namespace vollum {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The layout has no way to hold a line break inside a name or a value; cutting
// there keeps one write from ever adding lines of its own making.
std::string CutAtLineBreak(const std::string& s) { return s.substr(0, s.find_first_of("\r\n")); }

std::string Normalised(const std::string& name) { return Trim(CutAtLineBreak(name)); }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::optional<std::string> SectionName(const std::string& line) {
    const size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line[b] != '[') return std::nullopt;
    // The last "]" closes the name, so a name that itself holds "]" reads back whole.
    const size_t close = line.rfind(']');
    const size_t end = close == std::string::npos || close <= b ? line.size() : close;
    return Trim(line.substr(b + 1, end - b - 1));
}

struct KeyLine {
    std::string key;
    size_t valueStart;  // first byte of the value: after "=" and the blanks after it
};

std::optional<KeyLine> ParseKeyLine(const std::string& line) {
    const size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line[b] == ';' || line[b] == '[') return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    size_t v = eq + 1;
    while (v < line.size() && IsBlank(line[v])) ++v;
    return KeyLine{Trim(line.substr(0, eq)), v};
}

std::string ValueOf(const std::string& line, const KeyLine& kl) {
    return Trim(line.substr(kl.valueStart)).substr(0, kIniValueLimit);
}

}  // namespace

IniDocument::IniDocument(const std::string& text) {
    // Editors that save UTF-8 may put a mark first, which would hide the first section.
    static const std::string kMark = "\xEF\xBB\xBF";
    size_t pos = 0;
    if (text.compare(0, kMark.size(), kMark) == 0) {
        byteOrderMark_ = kMark;
        pos = kMark.size();
    }
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) {
            lines_.push_back({text.substr(pos), ""});
            break;
        }
        size_t end = nl;
        std::string eol = "\n";
        if (end > pos && text[end - 1] == '\r') {
            --end;
            eol = "\r\n";
        }
        lines_.push_back({text.substr(pos, end - pos), eol});
        pos = nl + 1;
    }
}

std::vector<std::pair<size_t, size_t>> IniDocument::SectionBodies(const std::string& section) const {
    const std::string want = Normalised(section);
    std::vector<std::pair<size_t, size_t>> bodies;
    for (size_t i = 0; i < lines_.size(); ++i) {
        auto name = SectionName(lines_[i].text);
        if (!name || !SameName(*name, want)) continue;
        size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
        bodies.emplace_back(i + 1, end);
        i = end - 1;
    }
    return bodies;
}

std::optional<std::string> IniDocument::Value(const std::string& section, const std::string& key) const {
    const auto bodies = SectionBodies(section);
    if (bodies.empty()) return std::nullopt;
    const std::string want = Normalised(key);
    for (size_t i = bodies[0].first; i < bodies[0].second; ++i) {
        auto kl = ParseKeyLine(lines_[i].text);
        if (kl && SameName(kl->key, want)) return ValueOf(lines_[i].text, *kl);
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> IniDocument::Keys(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> out;
    const auto bodies = SectionBodies(section);
    if (bodies.empty()) return out;
    for (size_t i = bodies[0].first; i < bodies[0].second; ++i) {
        auto kl = ParseKeyLine(lines_[i].text);
        if (!kl) continue;
        bool seen = false;
        for (const auto& [k, v] : out) seen = seen || SameName(k, kl->key);
        if (!seen) out.emplace_back(kl->key, ValueOf(lines_[i].text, *kl));
    }
    return out;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        const auto name = SectionName(line.text);
        if (!name) continue;
        bool seen = false;
        for (const std::string& known : names) seen = seen || SameName(known, *name);
        if (!seen) names.push_back(*name);
    }
    return names;
}

std::string IniDocument::NewLineEnd() const {
    for (const auto& l : lines_)
        if (!l.eol.empty()) return l.eol;
    return NativeLineEnd();
}

void IniDocument::Set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string k = CutAtLineBreak(key);
    const std::string v = CutAtLineBreak(value);
    const std::string eol = NewLineEnd();
    const auto bodies = SectionBodies(section);

    auto insertAt = [&](size_t pos, std::string text) {
        // A last line ending in CR would lose that CR to a following LF: CR LF keeps it its text.
        if (pos > 0 && lines_[pos - 1].eol.empty())
            lines_[pos - 1].eol = !lines_[pos - 1].text.empty() && lines_[pos - 1].text.back() == '\r' ? "\r\n" : eol;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pos), Line{std::move(text), eol});
    };

    if (bodies.empty()) {
        insertAt(lines_.size(), "[" + CutAtLineBreak(section) + "]");
        insertAt(lines_.size(), k + "=" + v);
        return;
    }
    const auto [begin, end] = bodies[0];
    const std::string want = Normalised(k);
    size_t afterLastKey = begin;
    for (size_t i = begin; i < end; ++i) {
        auto kl = ParseKeyLine(lines_[i].text);
        if (!kl) continue;
        if (SameName(kl->key, want)) {
            // Keep the other program's spelling and spacing up to the value.
            lines_[i].text = lines_[i].text.substr(0, kl->valueStart) + v;
            return;
        }
        afterLastKey = i + 1;
    }
    insertAt(afterLastKey, k + "=" + v);
}

bool IniDocument::EraseSection(const std::string& section) {
    const auto bodies = SectionBodies(section);
    for (auto it = bodies.rbegin(); it != bodies.rend(); ++it)
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->first - 1),
                     lines_.begin() + static_cast<std::ptrdiff_t>(it->second));
    return !bodies.empty();
}

bool IniDocument::EraseKey(const std::string& section, const std::string& key) {
    const std::string want = Normalised(key);
    bool erased = false;
    const auto bodies = SectionBodies(section);
    // From the back, so that the ranges in front stay where they were.
    for (auto it = bodies.rbegin(); it != bodies.rend(); ++it)
        for (size_t i = it->second; i-- > it->first;) {
            auto kl = ParseKeyLine(lines_[i].text);
            if (!kl || !SameName(kl->key, want)) continue;
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            erased = true;
        }
    return erased;
}

bool IniDocument::RenameSection(const std::string& from, const std::string& to) {
    const auto bodies = SectionBodies(from);
    for (const auto& body : bodies) lines_[body.first - 1].text = "[" + CutAtLineBreak(to) + "]";
    return !bodies.empty();
}

std::string IniDocument::Text() const {
    std::string out = byteOrderMark_;
    for (const auto& l : lines_) out += l.text + l.eol;
    return out;
}

int IniInteger(const std::string& text, int fallback) {
    std::optional<int32_t> v;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) v = TryStrToInt("$" + text.substr(2));
    else v = TryStrToInt(text);
    return v ? *v : fallback;
}

}  // namespace vollum
