#pragma once
// Listing text into entries: MLSD lines, or LIST lines in the formats servers
// send (Unix ls -l and its variants, DOS/IIS, EPLF), told apart line by line.
// One pass over the bytes, which may come in pieces of any size. A line that
// fits no format becomes a raw entry; "total N", ".", ".." and MLSD's
// cdir/pdir stand for nothing and are skipped.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ListingEntry.h"

namespace vollum {

enum class ListingFormat { Mlsd, List };

// What one listing may hold: a server that sends without end must not take
// all memory. Lines past the first `entries` are counted, not kept; a line
// longer than `lineBytes` is cut there.
struct ListingLimits {
    std::size_t entries = 500000;
    std::size_t lineBytes = 64 * 1024;
};

class ListingParser {
public:
    // now: a LIST date without a year ("Dec  9 15:29") is the latest such
    // date that is not more than a day after now.
    explicit ListingParser(ListingFormat format, std::int64_t now = CurrentUtcSeconds(), ListingLimits limits = {});

    void Feed(std::string_view bytes);
    // The last line, when the data did not end with a line end.
    void Finish();
    const std::vector<ListingEntry>& Entries() const { return entries_; }
    std::vector<ListingEntry> TakeEntries() { return std::move(entries_); }
    // Entries past the limit, not kept.
    std::size_t Dropped() const { return dropped_; }

    // One line without its LF (a CR before it is dropped here); nullopt when
    // the line stands for no entry.
    static std::optional<ListingEntry> ParseLine(std::string_view line, ListingFormat format, std::int64_t now);
    static std::int64_t CurrentUtcSeconds();

private:
    void TakeLine(std::string_view line);

    ListingFormat format_;
    std::int64_t now_;
    ListingLimits limits_;
    std::string partial_;  // a line not yet ended by LF
    std::vector<ListingEntry> entries_;
    std::size_t dropped_ = 0;
};

}  // namespace vollum
