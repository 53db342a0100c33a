#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace vollum {

// Leading blanks, an optional sign, then decimal digits or "$" + hex digits,
// nothing after them. Out-of-range values are not integers either.
std::optional<int32_t> TryStrToInt(const std::string& text);

// As TryStrToInt, but raises EConvertError("'%s' is not a valid integer value").
int32_t StrToInt(const std::string& text);

}  // namespace vollum
