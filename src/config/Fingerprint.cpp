#include "config/Fingerprint.h"

#include <algorithm>
#include <cctype>

namespace vollum {

namespace {
constexpr size_t kHexDigits = 64;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
}  // namespace

std::optional<std::string> NormalizedFingerprint(const std::string& text) {
    std::string lowered(text.size(), '\0');
    std::transform(text.begin(), text.end(), lowered.begin(), Lower);
    size_t from = 0;
    const std::string leadIn = "fingerprint=";
    if (const size_t lead = lowered.find(leadIn); lead != std::string::npos) {
        std::string before;
        for (char c : lowered.substr(0, lead))
            if (c != ' ' && c != '\t') before += c;
        if (!before.empty() && before != "sha256") return std::nullopt;
        from = lead + leadIn.size();
    }

    std::string hex;
    for (size_t i = from; i < lowered.size(); ++i) {
        const char c = lowered[i];
        if (c == ':' || c == ' ' || c == '\t') continue;
        const bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        if (!digit || hex.size() == kHexDigits) return std::nullopt;
        hex += c;
    }
    if (hex.size() != kHexDigits) return std::nullopt;
    return hex;
}

std::string FingerprintText(const std::string& hex64) {
    std::string text;
    for (size_t i = 0; i < hex64.size(); ++i) {
        if (i > 0 && i % 2 == 0) text += ':';
        text += static_cast<char>(std::toupper(static_cast<unsigned char>(hex64[i])));
    }
    return text;
}

}  // namespace vollum
