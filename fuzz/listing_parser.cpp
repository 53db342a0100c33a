// Listing text from a server, read into entries: the first byte chooses the
// form ('M' MLSD, anything else LIST), the rest is the listing. It must never
// crash; a named entry's name occurs in its line and every line occurs in the
// input; raw lines carry no name and no size; and the same bytes in other
// pieces give the same entries. The FEAT reader takes the same bytes too.
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "ftp/ListingParser.h"
#include "ftp/ServerFeatures.h"

using vollum::ListingEntry;
using vollum::ListingFormat;
using vollum::ListingParser;

namespace {
constexpr std::int64_t kNow = 1796817600;  // 2026-12-09 12:00 UTC: the same for every run
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const ListingFormat format = data[0] == 'M' ? ListingFormat::Mlsd : ListingFormat::List;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    ListingParser whole(format, kNow);
    whole.Feed(text);
    whole.Finish();
    for (const ListingEntry& e : whole.Entries()) {
        FUZZ_CHECK(text.find(e.raw) != std::string_view::npos);
        if (e.IsRaw()) {
            FUZZ_CHECK(e.name.empty() && !e.size && !e.modified);
        } else {
            FUZZ_CHECK(!e.name.empty() && e.name != "." && e.name != "..");
            FUZZ_CHECK(e.raw.find(e.name) != std::string::npos);
        }
    }

    // Pieces of 1 to 16 bytes, their lengths drawn from the input itself.
    ListingParser pieces(format, kNow);
    size_t at = 0;
    unsigned seed = static_cast<unsigned>(size);
    while (at < text.size()) {
        seed = seed * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(1 + (seed >> 16) % 16, text.size() - at);
        pieces.Feed(text.substr(at, n));
        at += n;
    }
    pieces.Finish();
    FUZZ_CHECK(pieces.Entries() == whole.Entries());

    const auto features = vollum::ServerFeatures::FromReply(text);
    FUZZ_CHECK(features.Has("MLST") || features.Params("MLST").empty());
    return 0;
}
