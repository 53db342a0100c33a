#include "common/Helpers.h"

namespace vollum {

bool ValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t more = 0;
        unsigned value = 0, least = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xe0) == 0xc0) {
            more = 1;
            value = lead & 0x1f;
            least = 0x80;
        } else if ((lead & 0xf0) == 0xe0) {
            more = 2;
            value = lead & 0x0f;
            least = 0x800;
        } else if ((lead & 0xf8) == 0xf0) {
            more = 3;
            value = lead & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (i + more >= text.size()) return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xc0) != 0x80) return false;
            value = (value << 6) | (c & 0x3f);
        }
        if (value < least || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return false;
        i += more + 1;
    }
    return true;
}

std::string LowerCaseName(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string AddBackslash(const std::string& path) {
    if (!path.empty() && path.back() == kPathSep) return path;
    return path + kPathSep;
}

std::string TwoDigits(long value) {
    std::string s = std::to_string(value);
    return s.size() == 1 ? "0" + s : s;
}

std::string LastPathComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == kPathSep) p.pop_back();
    const auto pos = p.rfind(kPathSep);
    return pos == std::string::npos ? p : p.substr(pos + 1);
}

std::string DirectoryPart(const std::string& path) {
    const auto pos = path.rfind(kPathSep);
    if (pos == std::string::npos) return "";
    if (pos == 0) return "/";
    return path.substr(0, pos);
}

std::string TerminalText(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && c != '\t' && c != '\r' && c != '\n') || b == 0x7f) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace vollum
