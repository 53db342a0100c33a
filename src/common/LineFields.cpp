#include "common/LineFields.h"

namespace vollum {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string EncodeField(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u > ' ' && u < 0x7f && u != '%') {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    // An empty field still takes its place between the spaces.
    return out.empty() ? "%" : out;
}

bool DecodeField(const std::string& field, std::string& bytes) {
    bytes.clear();
    if (field == "%") return true;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            bytes += field[i];
            continue;
        }
        if (i + 2 >= field.size()) return false;
        const int hi = HexValue(field[i + 1]), lo = HexValue(field[i + 2]);
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool SplitFields(const std::string& line, std::vector<std::string>& fields) {
    fields.clear();
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        std::string bytes;
        if (!DecodeField(line.substr(start, end - start), bytes)) return false;
        fields.push_back(std::move(bytes));
        start = end + 1;
    }
    return true;
}

std::string JoinFields(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& f : fields) {
        if (!line.empty()) line += ' ';
        line += EncodeField(f);
    }
    return line + '\n';
}

}  // namespace vollum
