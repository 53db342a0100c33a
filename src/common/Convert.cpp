#include "common/Convert.h"

#include "common/Errors.h"

namespace vollum {

std::optional<int32_t> TryStrToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    }
    if (i >= text.size()) return std::nullopt;
    int64_t value = 0;
    const int64_t limit = hex ? 0xFFFFFFFFLL : 0x80000000LL;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > limit) return std::nullopt;
    }
    if (hex) {
        // Hex text names the 32-bit pattern, as "$FFFFFFFF" = -1.
        int32_t v = static_cast<int32_t>(static_cast<uint32_t>(value));
        return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : v;
    }
    if (negative) return static_cast<int32_t>(-value);
    if (value > 0x7FFFFFFFLL) return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t StrToInt(const std::string& text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw EConvertError(text);
}

}  // namespace vollum
