#pragma once
// A small printf for command and pane texts: %s takes the next text, %d the
// next integer, %% is a percent sign. Bytes of the arguments pass unchanged,
// so a "%" inside a name is never read as a directive.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

namespace vollum {

using FormatArg = std::variant<std::string, int64_t>;

struct FmtArg {
    FmtArg(const std::string& s) : value(s) {}
    FmtArg(const char* s) : value(std::string(s)) {}
    FmtArg(int v) : value(static_cast<int64_t>(v)) {}
    FmtArg(long v) : value(static_cast<int64_t>(v)) {}
    FmtArg(long long v) : value(static_cast<int64_t>(v)) {}
    FormatArg value;
};

std::string Format(const std::string& format, std::initializer_list<FmtArg> args = {});

}  // namespace vollum
