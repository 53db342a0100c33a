#include "ftp/ReplyNumbers.h"

namespace vollum {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits at text[pos...] as a number, pos moved past them; -1 when there
// are none or the number exceeds limit (all its digits are passed anyway).
long long NumberAt(const std::string& text, size_t& pos, long long limit) {
    const size_t start = pos;
    long long value = 0;
    bool over = false;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        if (over) continue;
        const int digit = text[pos] - '0';
        over = value > (limit - digit) / 10;
        if (!over) value = value * 10 + digit;
    }
    return pos == start || over ? -1 : value;
}

}  // namespace

int EpsvPort(const std::string& reply) {
    const size_t open = reply.find('(');
    if (open == std::string::npos || open + 5 > reply.size()) return -1;
    const char d = reply[open + 1];
    if (d < 33 || d > 126 || IsDigit(d)) return -1;
    if (reply[open + 2] != d || reply[open + 3] != d) return -1;
    size_t pos = open + 4;
    const long long port = NumberAt(reply, pos, 65535);
    if (port < 1 || pos >= reply.size() || reply[pos] != d) return -1;
    return static_cast<int>(port);
}

int PasvPort(const std::string& reply) {
    // Each run of digits and commas is a group; "IPv4" or "1,2" are too
    // short to be the one, the first of six or more numbers is.
    size_t pos = reply.size() > 3 ? 3 : reply.size();
    while (pos < reply.size()) {
        if (!IsDigit(reply[pos])) {
            ++pos;
            continue;
        }
        long long parts[6] = {};
        int count = 0;
        bool valid = true;
        for (;;) {
            const long long part = NumberAt(reply, pos, 255);
            if (count < 6) parts[count] = part;
            valid = valid && (count >= 6 || part >= 0);
            ++count;
            if (pos + 1 >= reply.size() || reply[pos] != ',' || !IsDigit(reply[pos + 1])) break;
            ++pos;
        }
        if (count < 6) continue;
        const long long port = parts[4] * 256 + parts[5];
        return valid && port > 0 ? static_cast<int>(port) : -1;
    }
    return -1;
}

std::optional<long long> AnnouncedSize(const std::string& reply, const std::string& requestedName) {
    static const std::string kUnit = " bytes)";
    // Only a group that ends the text is the server's own: one further in
    // belongs to something the reply echoes.
    size_t end = reply.size();
    while (end > 0 && (reply[end - 1] == '\r' || reply[end - 1] == '\n' || reply[end - 1] == ' ')) --end;
    if (end > 0 && reply[end - 1] == '.') --end;
    if (end < kUnit.size() || reply.compare(end - kUnit.size(), kUnit.size(), kUnit) != 0) return std::nullopt;
    const size_t open = reply.rfind('(', end - kUnit.size());
    if (open == std::string::npos) return std::nullopt;
    size_t pos = open + 1;
    const long long size = NumberAt(reply, pos, 1LL << 62);
    if (size < 0 || pos != end - kUnit.size()) return std::nullopt;
    // A name such as "x (6 bytes)" echoed at the end of the reply is no size.
    if (!requestedName.empty())
        for (size_t at = reply.find(requestedName); at != std::string::npos && at <= open;
             at = reply.find(requestedName, at + 1))
            if (at + requestedName.size() > open) return std::nullopt;
    return size;
}

bool PathFromPwdReply(const std::string& reply, std::string& path) {
    if (reply.compare(0, 4, "257 ") != 0) return false;
    size_t i = reply.find('"');
    if (i == std::string::npos) return false;
    path.clear();
    for (++i; i < reply.size(); ++i) {
        if (reply[i] != '"') {
            path += reply[i];
            continue;
        }
        if (i + 1 < reply.size() && reply[i + 1] == '"') {
            path += '"';
            ++i;
            continue;
        }
        return !path.empty();
    }
    return false;
}

}  // namespace vollum
