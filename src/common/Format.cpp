#include "common/Format.h"

namespace vollum {

std::string Format(const std::string& format, std::initializer_list<FmtArg> args) {
    std::string out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const char d = format[i + 1];
        if (d == '%') {
            out += '%';
            ++i;
        } else if (d == 's' || d == 'd') {
            ++i;
            if (next == args.end()) continue;  // missing argument: empty
            const FormatArg& a = (next++)->value;
            if (const auto* s = std::get_if<std::string>(&a)) out += *s;
            else out += std::to_string(std::get<int64_t>(a));
        } else {
            out += c;  // unknown directive: kept as written
        }
    }
    return out;
}

}  // namespace vollum
