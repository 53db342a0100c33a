#pragma once
// The text of one INI file, parsed for look-ups and edited line by line. Every
// line we do not change (comments, blank lines, unknown sections, the line ends
// another program chose, a leading UTF-8 byte-order mark) is written back byte
// for byte.
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vollum {

// A read returns at most this many characters of a value.
constexpr size_t kIniValueLimit = 1023;

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(const std::string& text);

    // The value of the first matching key in the first matching section, cut at
    // kIniValueLimit; nullopt when the section or the key is missing. Section and
    // key names are compared without regard to ASCII case.
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;

    // The keys of the first matching section in file order, each name once (its
    // first occurrence), values cut as by Value.
    std::vector<std::pair<std::string, std::string>> Keys(const std::string& section) const;

    // Every section's name once (its first spelling), in file order.
    std::vector<std::string> SectionNames() const;

    // Rewrites the first matching key in place, or adds the key at the end of the
    // first matching section, or appends a new section at the end.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    // Removes every section of that name with all its lines. False when none was there.
    bool EraseSection(const std::string& section);

    // Removes every line of that key from every section of that name. False when none was there.
    bool EraseKey(const std::string& section, const std::string& key);

    // Gives every section named `from` the name `to`, its lines unchanged. False when none was there.
    bool RenameSection(const std::string& from, const std::string& to);

    std::string Text() const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string eol;   // "\r\n", "\n", or "" for a last line without one
    };
    std::vector<Line> lines_;
    std::string byteOrderMark_;  // a leading UTF-8 mark: not part of the first line, written back

    // [begin, end) line ranges of the bodies (after the header) of matching sections.
    std::vector<std::pair<size_t, size_t>> SectionBodies(const std::string& section) const;
    std::string NewLineEnd() const;
};

// The lenient integer read: leading blanks, an optional sign, decimal digits or
// "$" and hex digits; a text longer than two characters that starts "0x"/"0X"
// is hex too. Anything else gives the fallback.
int IniInteger(const std::string& text, int fallback);

}  // namespace vollum
