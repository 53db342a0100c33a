#pragma once
// Lines of fields separated by spaces, where a field may hold any byte (a path
// with a space or a line feed): bytes outside printable ASCII, the space and
// '%' travel as %XX. Used between a run and its upload workers and in the
// journal of temporary uploads.
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

}  // namespace vollum
