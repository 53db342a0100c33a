#pragma once
// The lines between a parallel run and its upload workers: one message per
// line, fields separated by spaces. A field may hold any byte (a path with a
// space or a line feed): bytes outside printable ASCII, the space and '%'
// travel as %XX.
#include <string>
#include <vector>

namespace vollum {

std::string EncodeField(const std::string& bytes);
// False for a malformed escape.
bool DecodeField(const std::string& field, std::string& bytes);
// The fields of a line, decoded; false when one is malformed.
bool SplitFields(const std::string& line, std::vector<std::string>& fields);
// The message of these fields, encoded, ending in LF.
std::string JoinFields(const std::vector<std::string>& fields);

// Gathers bytes as they come and hands out whole lines.
class LineBuffer {
public:
    void Add(const char* data, size_t size) { pending_.append(data, size); }
    // The next whole line without its LF; false when none is complete yet.
    bool Next(std::string& line);

private:
    std::string pending_;
};

}  // namespace vollum
