#pragma once
// One line of a remote folder listing, as the parser read it.
#include <cstdint>
#include <optional>
#include <string>

namespace vollum {

struct ListingEntry {
    enum class Kind { File, Folder, Link, Raw };

    // The name byte for byte as the server sent it (not necessarily UTF-8);
    // empty for a raw entry.
    std::string name;
    Kind kind = Kind::Raw;
    std::optional<std::uint64_t> size;
    // Seconds since 1970-01-01 00:00 UTC. A LIST line gives the server's
    // wall-clock time, which is taken as UTC: nothing says which zone it is.
    std::optional<std::int64_t> modified;
    // "drwxr-xr-x" from LIST, or from MLSD's unix.mode; MLSD's perm fact
    // ("adfrw") when it sends no mode.
    std::string permissions;
    std::string linkTarget;
    // The whole line without its line end: what a raw entry shows.
    std::string raw;

    bool IsFolder() const { return kind == Kind::Folder; }
    bool IsRaw() const { return kind == Kind::Raw; }
    friend bool operator==(const ListingEntry&, const ListingEntry&) = default;
};

}  // namespace vollum
