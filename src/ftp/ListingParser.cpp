#include "ftp/ListingParser.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace vollum {

namespace {

using Entry = ListingEntry;
constexpr std::int64_t kSecondsPerDay = 86400;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

// Decimal digits without overflow; nullopt otherwise.
std::optional<std::uint64_t> Unsigned(std::string_view s) {
    if (!AllDigits(s)) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : s) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// A small number of at most maxDigits digits.
std::optional<int> Small(std::string_view s, size_t maxDigits) {
    if (s.size() > maxDigits) return std::nullopt;
    const auto value = Unsigned(s);
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
}

bool LeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(std::int64_t y, int m) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : kDays[static_cast<size_t>(m - 1)];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t YearOf(std::int64_t seconds) {
    std::int64_t days = seconds / kSecondsPerDay - (seconds % kSecondsPerDay < 0 ? 1 : 0);
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    return yoe + era * 400 + (mp >= 10 ? 1 : 0);
}

std::optional<std::int64_t> Moment(std::int64_t y, int mo, int d, int h, int mi, int s) {
    if (y < 1 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo)) return std::nullopt;
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 60) return std::nullopt;
    return DaysFromCivil(y, mo, d) * kSecondsPerDay + h * 3600 + mi * 60 + s;
}

int MonthNumber(std::string_view token) {
    static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
    for (size_t i = 0; i < kMonths.size(); ++i)
        if (EqualNoCase(token, kMonths[i])) return static_cast<int>(i) + 1;
    return 0;
}

// "HH:MM" or "HH:MM:SS"; hours and minutes out.
bool ClockTime(std::string_view t, int& h, int& mi) {
    const size_t colon = t.find(':');
    if (colon == std::string_view::npos) return false;
    const auto hours = Small(t.substr(0, colon), 2);
    std::string_view rest = t.substr(colon + 1);
    if (rest.size() > 2 && rest[2] == ':') {
        if (!AllDigits(rest.substr(3, 2))) return false;
        rest = rest.substr(0, 2);
    }
    const auto minutes = rest.size() == 2 ? Small(rest, 2) : std::nullopt;
    if (!hours || !minutes) return false;
    h = *hours;
    mi = *minutes;
    return true;
}

struct Token {
    size_t begin = 0, end = 0;
};

// The blank-separated words of a line from pos on, up to max of them.
template <size_t N>
size_t Tokens(std::string_view line, std::array<Token, N>& out) {
    size_t count = 0, pos = 0;
    while (count < N) {
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        if (pos >= line.size()) break;
        const size_t begin = pos;
        while (pos < line.size() && !IsBlank(line[pos])) ++pos;
        out[count++] = {begin, pos};
    }
    return count;
}

std::string_view Word(std::string_view line, Token t) { return line.substr(t.begin, t.end - t.begin); }

// ls's mode column: a type letter and nine permission letters, maybe an ACL
// or context mark after them.
bool UnixMode(std::string_view t) {
    if (t.size() < 10 || t.size() > 11) return false;
    if (std::strchr("-dlcbpsD", t[0]) == nullptr || t[0] == '\0') return false;
    for (size_t i = 1; i < 10; ++i)
        if (std::strchr("rwxsStTlL-", t[i]) == nullptr || t[i] == '\0') return false;
    return t.size() == 10 || t[10] == '+' || t[10] == '.' || t[10] == '@';
}

// A date of ls: "Jan 31 12:00", "Jan 31 2020" or "2020-01-31 12:00"; the
// number of words it takes and the time, or 0.
size_t UnixDate(std::string_view line, const Token* t, size_t left, std::int64_t now, std::optional<std::int64_t>& when) {
    const std::string_view first = Word(line, t[0]);
    int h = 0, mi = 0;
    if (left >= 2 && first.size() == 10 && first[4] == '-' && first[7] == '-') {
        const auto y = Small(first.substr(0, 4), 4), mo = Small(first.substr(5, 2), 2), d = Small(first.substr(8, 2), 2);
        if (!y || !mo || !d || !ClockTime(Word(line, t[1]), h, mi)) return 0;
        when = Moment(*y, *mo, *d, h, mi, 0);
        return when ? 2 : 0;
    }
    const int mo = MonthNumber(first);
    if (mo == 0 || left < 3) return 0;
    const auto d = Small(Word(line, t[1]), 2);
    if (!d) return 0;
    const std::string_view third = Word(line, t[2]);
    if (ClockTime(third, h, mi)) {
        // The year is left out for recent dates: the latest one not after now.
        const std::int64_t year = YearOf(now);
        when = Moment(year, mo, *d, h, mi, 0);
        if (when && *when > now + kSecondsPerDay) when = Moment(year - 1, mo, *d, h, mi, 0);
        if (!when && mo == 2 && *d == 29) when = Moment(year - 1, mo, *d, h, mi, 0);
        return when ? 3 : 0;
    }
    const auto y = third.size() == 4 ? Small(third, 4) : std::nullopt;
    if (!y) return 0;
    when = Moment(*y, mo, *d, 0, 0, 0);
    return when ? 3 : 0;
}

std::optional<Entry> UnixLine(std::string_view line, std::int64_t now) {
    std::array<Token, 12> t;
    const size_t count = Tokens(line, t);
    if (count < 4 || !UnixMode(Word(line, t[0]))) return std::nullopt;
    const char type = line[t[0].begin];
    // The date comes after the mode, at least the size and at most link
    // count, owner, group and a device pair before it; the first fit wins, as
    // the name may hold anything.
    for (size_t i = 2; i + 1 < count; ++i) {
        std::optional<std::int64_t> when;
        const size_t used = UnixDate(line, &t[i], count - i, now, when);
        if (used == 0) continue;
        const std::string_view before = Word(line, t[i - 1]);
        const bool device = (type == 'c' || type == 'b') && (before.find(',') != std::string_view::npos ||
                                                              Word(line, t[i - 2]).ends_with(','));
        const auto size = Unsigned(before);
        if (!size && !device) continue;
        // One blank after the date, then the name: a name may begin with blanks.
        const size_t nameStart = t[i + used - 1].end + 1;
        if (nameStart >= line.size()) continue;
        Entry e;
        e.kind = type == 'd' ? Entry::Kind::Folder : type == 'l' ? Entry::Kind::Link : Entry::Kind::File;
        e.name = std::string(line.substr(nameStart));
        if (e.kind == Entry::Kind::Link) {
            const size_t arrow = e.name.find(" -> ");
            if (arrow != std::string::npos && arrow > 0) {
                e.linkTarget = e.name.substr(arrow + 4);
                e.name.resize(arrow);
            }
        }
        if (!device) e.size = size;
        e.modified = when;
        e.permissions = std::string(Word(line, t[0]));
        return e;
    }
    return std::nullopt;
}

// "12-31-20", "12-31-2020", "12/31/20" or "2020-12-31".
bool DosDate(std::string_view d, std::int64_t& y, int& mo, int& day) {
    if (d.size() == 10 && (d[4] == '-' || d[4] == '/') && d[7] == d[4]) {
        const auto yy = Small(d.substr(0, 4), 4), mm = Small(d.substr(5, 2), 2), dd = Small(d.substr(8, 2), 2);
        if (!yy || !mm || !dd) return false;
        y = *yy, mo = *mm, day = *dd;
        return true;
    }
    if ((d.size() != 8 && d.size() != 10) || (d[2] != '-' && d[2] != '/') || d[5] != d[2]) return false;
    const auto mm = Small(d.substr(0, 2), 2), dd = Small(d.substr(3, 2), 2), yy = Small(d.substr(6), 4);
    if (!mm || !dd || !yy) return false;
    y = d.size() == 10 ? *yy : *yy < 70 ? 2000 + *yy : 1900 + *yy;
    mo = *mm, day = *dd;
    return true;
}

std::optional<Entry> DosLine(std::string_view line) {
    std::array<Token, 3> t;
    if (Tokens(line, t) < 3) return std::nullopt;
    std::int64_t y = 0;
    int mo = 0, d = 0, h = 0, mi = 0;
    if (!DosDate(Word(line, t[0]), y, mo, d)) return std::nullopt;
    std::string_view clock = Word(line, t[1]);
    int shift = -1;  // 12-hour clock: 0 for AM, 12 for PM
    if (clock.size() > 2 && (EqualNoCase(clock.substr(clock.size() - 2), "AM") ||
                             EqualNoCase(clock.substr(clock.size() - 2), "PM"))) {
        shift = Lower(clock[clock.size() - 2]) == 'p' ? 12 : 0;
        clock.remove_suffix(2);
    }
    if (!ClockTime(clock, h, mi)) return std::nullopt;
    if (shift >= 0) {
        if (h < 1 || h > 12) return std::nullopt;
        h = h % 12 + shift;
    }
    const std::string_view third = Word(line, t[2]);
    Entry e;
    if (EqualNoCase(third, "<DIR>")) {
        e.kind = Entry::Kind::Folder;
    } else {
        std::string digits;
        for (const char c : third)
            if (c != ',' && c != '.') digits += c;
        if (third.front() == ',' || third.front() == '.') return std::nullopt;
        e.size = Unsigned(digits);
        if (!e.size) return std::nullopt;
        e.kind = Entry::Kind::File;
    }
    size_t nameStart = t[2].end;
    while (nameStart < line.size() && IsBlank(line[nameStart])) ++nameStart;
    if (nameStart >= line.size()) return std::nullopt;
    e.modified = Moment(y, mo, d, h, mi, 0);
    if (!e.modified) return std::nullopt;
    e.name = std::string(line.substr(nameStart));
    return e;
}

// "+i8388621.48594,m825718503,r,s280,\tdjb.html"
std::optional<Entry> EplfLine(std::string_view line) {
    if (line.empty() || line[0] != '+') return std::nullopt;
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab + 1 >= line.size()) return std::nullopt;
    Entry e;
    e.kind = Entry::Kind::File;
    std::string_view facts = line.substr(1, tab - 1);
    while (!facts.empty()) {
        const size_t comma = facts.find(',');
        const std::string_view fact = facts.substr(0, comma);
        facts = comma == std::string_view::npos ? std::string_view() : facts.substr(comma + 1);
        if (fact == "/") e.kind = Entry::Kind::Folder;
        else if (fact.size() > 1 && fact[0] == 's') e.size = Unsigned(fact.substr(1));
        else if (fact.size() > 1 && fact[0] == 'm') {
            const auto seconds = Unsigned(fact.substr(1));
            if (seconds && *seconds < 253402300800ULL) e.modified = static_cast<std::int64_t>(*seconds);
        } else if (fact.size() > 2 && fact.substr(0, 2) == "up") e.permissions = std::string(fact.substr(2));
    }
    e.name = std::string(line.substr(tab + 1));
    return e;
}

// "0755" as "rwxr-xr-x" behind the type letter; pyftpdlib writes "0o755".
std::string ModeText(char type, std::string_view octal) {
    if (octal.size() > 2 && octal[0] == '0' && (octal[1] == 'o' || octal[1] == 'O')) octal.remove_prefix(2);
    if (octal.empty() || octal.size() > 6) return {};
    unsigned mode = 0;
    for (const char c : octal) {
        if (c < '0' || c > '7') return {};
        mode = mode * 8 + static_cast<unsigned>(c - '0');
    }
    std::string text(1, type);
    static constexpr char kLetters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit) text += (mode >> bit) & 1U ? kLetters[(8 - bit) % 3] : '-';
    return text;
}

// "type=file;size=12;modify=20201231223000; name"
std::optional<Entry> MlsdLine(std::string_view line) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 1 >= line.size()) return std::nullopt;
    std::string_view facts = line.substr(0, space);
    if (!facts.empty() && facts.find('=') == std::string_view::npos) return std::nullopt;
    Entry e;
    e.kind = Entry::Kind::File;
    std::string_view perm, mode;
    while (!facts.empty()) {
        const size_t semi = facts.find(';');
        const std::string_view fact = facts.substr(0, semi);
        facts = semi == std::string_view::npos ? std::string_view() : facts.substr(semi + 1);
        const size_t eq = fact.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = fact.substr(0, eq), value = fact.substr(eq + 1);
        if (EqualNoCase(key, "type")) {
            if (EqualNoCase(value, "cdir") || EqualNoCase(value, "pdir")) return Entry{};  // skipped
            if (EqualNoCase(value, "dir")) e.kind = Entry::Kind::Folder;
            else if (value.size() >= 13 && EqualNoCase(value.substr(0, 13), "OS.unix=slink")) {
                e.kind = Entry::Kind::Link;
                if (value.size() > 14 && value[13] == ':') e.linkTarget = std::string(value.substr(14));
            } else if (EqualNoCase(value, "OS.unix=symlink")) {
                e.kind = Entry::Kind::Link;
            }
        } else if (EqualNoCase(key, "size")) {
            e.size = Unsigned(value);
        } else if (EqualNoCase(key, "modify")) {
            const std::string_view v = value.substr(0, value.find('.'));
            if (v.size() == 14 && AllDigits(v)) {
                auto n = [&](size_t at, size_t len) { return *Small(v.substr(at, len), len); };
                e.modified = Moment(n(0, 4), n(4, 2), n(6, 2), n(8, 2), n(10, 2), n(12, 2));
            }
        } else if (EqualNoCase(key, "perm")) {
            perm = value;
        } else if (EqualNoCase(key, "unix.mode")) {
            mode = value;
        }
    }
    const char typeLetter = e.kind == Entry::Kind::Folder ? 'd' : e.kind == Entry::Kind::Link ? 'l' : '-';
    e.permissions = ModeText(typeLetter, mode);
    if (e.permissions.empty()) e.permissions = std::string(perm);
    e.name = std::string(line.substr(space + 1));
    return e;
}

bool TotalLine(std::string_view line) {
    return line.size() > 6 && EqualNoCase(line.substr(0, 6), "total ") && AllDigits(line.substr(6));
}

}  // namespace

ListingParser::ListingParser(ListingFormat format, std::int64_t now, ListingLimits limits)
    : format_(format), now_(now), limits_(limits) {}

std::int64_t ListingParser::CurrentUtcSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<ListingEntry> ListingParser::ParseLine(std::string_view line, ListingFormat format, std::int64_t now) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) return std::nullopt;
    std::optional<Entry> e;
    if (format == ListingFormat::Mlsd) {
        e = MlsdLine(line);
        if (e && e->name.empty()) return std::nullopt;  // cdir, pdir
    } else {
        if (TotalLine(line)) return std::nullopt;
        e = line[0] == '+' ? EplfLine(line) : std::nullopt;
        if (!e) e = UnixLine(line, now);
        if (!e) e = DosLine(line);
    }
    if (e && (e->name == "." || e->name == "..")) return std::nullopt;
    if (!e) e = Entry{};  // raw: shown as its text, no name, no size
    e->raw = std::string(line);
    return e;
}

void ListingParser::TakeLine(std::string_view line) {
    auto e = ParseLine(line.substr(0, limits_.lineBytes), format_, now_);
    if (!e) return;
    if (entries_.size() >= limits_.entries) ++dropped_;
    else entries_.push_back(std::move(*e));
}

void ListingParser::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) {
            partial_.append(bytes.substr(0, limits_.lineBytes - std::min(partial_.size(), limits_.lineBytes)));
            return;
        }
        if (partial_.empty()) {
            TakeLine(bytes.substr(0, lf));
        } else {
            partial_.append(bytes.substr(0, std::min(lf, limits_.lineBytes - std::min(partial_.size(), limits_.lineBytes))));
            TakeLine(partial_);
            partial_.clear();
        }
        bytes.remove_prefix(lf + 1);
    }
}

void ListingParser::Finish() {
    if (partial_.empty()) return;
    TakeLine(partial_);
    partial_.clear();
}

}  // namespace vollum
