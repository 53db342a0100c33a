#pragma once
// The few failures the system raises as exceptions. Everything else (protocol
// and socket failures) is a return value, a pane line, a box or a log record.
#include <stdexcept>
#include <string>

namespace vollum {

class VollumError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "'%s' is not a valid integer value"
class EConvertError : public VollumError {
public:
    explicit EConvertError(const std::string& text);
    // The same message followed by a line saying where the text came from.
    EConvertError(const std::string& text, const std::string& origin);
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// "Unable to write to %s"
class EIniWriteError : public VollumError {
public:
    explicit EIniWriteError(const std::string& path);
};

// Log file could not be written.
class EInOutError : public VollumError {
public:
    explicit EInOutError(const std::string& what);
};

// A settings folder of the user's that someone else could change: the text
// names the path and what is wrong with it.
class EUntrustedFolder : public VollumError {
public:
    explicit EUntrustedFolder(const std::string& problem);
};

}  // namespace vollum
