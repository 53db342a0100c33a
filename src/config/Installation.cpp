#include "config/Installation.h"

#include <map>
#include <random>

#include "config/IniDocument.h"
#include "platform/SettingsFile.h"

namespace vollum {

namespace {

const char* const kSection = "Install";
const char* const kKey = "Identity";

bool IsIdentity(const std::string& text) {
    if (text.size() != 32) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string RandomIdentity() {
    std::random_device source;
    static const char kHex[] = "0123456789abcdef";
    std::string id;
    while (id.size() < 32) {
        const unsigned bits = source();
        for (int i = 0; i < 8 && id.size() < 32; ++i) id += kHex[(bits >> (4 * i)) & 0xf];
    }
    return id;
}

}  // namespace

std::string InstallationIdentity(const std::string& iniPath) {
    static std::map<std::string, std::string> known;
    const auto found = known.find(iniPath);
    if (found != known.end()) return found->second;
    const std::optional<std::string> value = IniDocument(ReadWholeFile(iniPath).value_or("")).Value(kSection, kKey);
    if (value && IsIdentity(*value)) return known[iniPath] = *value;
    std::string id = RandomIdentity();
    const bool written = RewriteLocked(iniPath, [&](const std::string& text) -> std::optional<std::string> {
        IniDocument doc(text);
        // Another process may have made one while we waited for the lock.
        const std::optional<std::string> now = doc.Value(kSection, kKey);
        if (now && IsIdentity(*now)) {
            id = *now;
            return std::nullopt;
        }
        doc.Set(kSection, kKey, id);
        return doc.Text();
    });
    if (!written) id = RandomIdentity();
    return known[iniPath] = id;
}

}  // namespace vollum
