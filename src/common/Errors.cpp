#include "common/Errors.h"

namespace vollum {

EConvertError::EConvertError(const std::string& text)
    : VollumError("'" + text + "' is not a valid integer value"), text_(text) {}

EConvertError::EConvertError(const std::string& text, const std::string& origin)
    : VollumError("'" + text + "' is not a valid integer value\n" + origin), text_(text) {}

EIniWriteError::EIniWriteError(const std::string& path) : VollumError("Unable to write to " + path) {}

EInOutError::EInOutError(const std::string& what) : VollumError(what) {}

EUntrustedFolder::EUntrustedFolder(const std::string& problem)
    : VollumError(problem + ": a settings folder must be the user's own and writable by nobody else") {}

}  // namespace vollum
