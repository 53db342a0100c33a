// Listing lines as real servers send them, read into entries; FEAT replies
// read into features.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include "ftp/ListingParser.h"
#include "ftp/ServerFeatures.h"

namespace vollum::test {
namespace {

using Kind = ListingEntry::Kind;

std::int64_t Utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch();
}

const std::int64_t kNow = Utc(2026, 12, 9, 12, 0);

struct Case {
    ListingFormat format;
    std::string line;
    Kind kind;
    std::string name;
    std::optional<std::uint64_t> size = std::nullopt;
    std::optional<std::int64_t> modified = std::nullopt;
    std::string permissions = {};
    std::string target = {};
};

constexpr auto M = ListingFormat::Mlsd;
constexpr auto L = ListingFormat::List;

TEST(ListingParser, readsEveryFormatServersSend) {
    const Case cases[] = {
        // MLSD: the name is everything after the first blank, byte for byte.
        {M, "type=file;size=1024;modify=20201231223000;perm=adfrw;unix.mode=0644; report.pdf", Kind::File,
         "report.pdf", 1024, Utc(2020, 12, 31, 22, 30), "-rw-r--r--"},
        {M, "Type=DIR;Modify=20200101000000.123;Perm=flcdmpe; My Folder", Kind::Folder, "My Folder", {},
         Utc(2020, 1, 1), "flcdmpe"},
        {M, "type=file;size=3;  one leading", Kind::File, " one leading", 3},
        {M, "modify=20261209165030;perm=el;size=4096;type=dir;unix.mode=0o755; sub", Kind::Folder, "sub", 4096,
         Utc(2026, 12, 9, 16, 50, 30), "drwxr-xr-x"},
        {M, "type=OS.unix=slink:/etc/hosts;size=10; hosts", Kind::Link, "hosts", 10, {}, {}, "/etc/hosts"},
        {M, "type=file;size=1; caf\xe9 \xff", Kind::File, "caf\xe9 \xff", 1},
        {M, "type=file;size=99999999999999999999; huge", Kind::File, "huge"},  // no made-up size
        {M, "not facts at all", Kind::Raw, ""},
        // Unix ls -l: with and without a group, time or year, devices, links.
        {L, "-rw-r--r--   1 owner    group        1234 Dec 01 10:20 a file.txt", Kind::File, "a file.txt", 1234,
         Utc(2026, 12, 1, 10, 20), "-rw-r--r--"},
        {L, "-rw-r--r--   1 owner    group           5 Dec 31 10:20 last year", Kind::File, "last year", 5,
         Utc(2025, 12, 31, 10, 20), "-rw-r--r--"},
        {L, "drwxr-xr-x    2 0        0            4096 Jan 31  2020 pub", Kind::Folder, "pub", 4096,
         Utc(2020, 1, 31), "drwxr-xr-x"},
        {L, "-rw-r--r--   1 ftp     42 Mar  5  2019 nogroup", Kind::File, "nogroup", 42, Utc(2019, 3, 5),
         "-rw-r--r--"},
        {L, "lrwxrwxrwx   1 root     root            7 Jan  1  2021 bin -> usr/bin", Kind::Link, "bin", 7,
         Utc(2021, 1, 1), "lrwxrwxrwx", "usr/bin"},
        {L, "crw-rw-rw-   1 root     root       1,   3 Jan  1  2021 null", Kind::File, "null", {}, Utc(2021, 1, 1),
         "crw-rw-rw-"},
        {L, "-rw-r--r--   1 u g 5 Jan  1  2021  spaced", Kind::File, " spaced", 5, Utc(2021, 1, 1), "-rw-r--r--"},
        {L, "-rw-r--r-- 1 u g 5 Jan 1 2021 caf\xe9 \xff.txt", Kind::File, "caf\xe9 \xff.txt", 5, Utc(2021, 1, 1),
         "-rw-r--r--"},
        {L, "-rw-r--r--+ 1 u g 5 2021-03-04 05:06 iso time", Kind::File, "iso time", 5, Utc(2021, 3, 4, 5, 6),
         "-rw-r--r--+"},
        {L, "-rw-r--r-- 1 u g 5 Jan 1 2021 Feb 2 2022 x", Kind::File, "Feb 2 2022 x", 5, Utc(2021, 1, 1),
         "-rw-r--r--"},
        // DOS / IIS, 12- and 24-hour clocks.
        {L, "12-31-20  10:30PM       <DIR>          Program Files", Kind::Folder, "Program Files", {},
         Utc(2020, 12, 31, 22, 30)},
        {L, "01-02-2021  09:05             1,234 readme.txt", Kind::File, "readme.txt", 1234, Utc(2021, 1, 2, 9, 5)},
        {L, "12-31-20  12:15AM  5 midnight.txt", Kind::File, "midnight.txt", 5, Utc(2020, 12, 31, 0, 15)},
        // EPLF.
        {L, "+i8388621.48594,m825718503,r,s280,\tdjb.html", Kind::File, "djb.html", 280, 825718503},
        {L, "+i8388621.50690,m824255907,/,\t514", Kind::Folder, "514", {}, 824255907},
        // Lines that fit nothing: raw, never a made-up size.
        {L, "this is not a listing", Kind::Raw, ""},
        {L, "-rw-r--r-- 1 u g nosize Jan 1 2021 x", Kind::Raw, ""},
        {L, "drwxr-xr-x 2 u g 4096 Feb 30 2021 x", Kind::Raw, ""},
        {L, "-rw-r--r-- 1 u g 5 Jan 1 2021 ", Kind::Raw, ""},
    };
    for (const Case& c : cases) {
        const auto e = ListingParser::ParseLine(c.line + "\r", c.format, kNow);
        ASSERT_TRUE(e.has_value()) << c.line;
        EXPECT_EQ(e->kind, c.kind) << c.line;
        EXPECT_EQ(e->name, c.name) << c.line;
        EXPECT_EQ(e->size, c.size) << c.line;
        EXPECT_EQ(e->modified, c.modified) << c.line;
        EXPECT_EQ(e->permissions, c.permissions) << c.line;
        EXPECT_EQ(e->linkTarget, c.target) << c.line;
        EXPECT_EQ(e->raw, c.line) << c.line;
    }
}

TEST(ListingParser, skipsLinesThatStandForNoEntry) {
    for (const auto& [format, line] : std::vector<std::pair<ListingFormat, std::string>>{
             {M, "type=cdir;modify=20200101000000; /home/u"},
             {M, "Type=PDir; .."},
             {L, "total 12"},
             {L, "drwxr-xr-x 2 u g 4096 Jan 1 2021 ."},
             {L, "drwxr-xr-x 2 u g 4096 Jan 1 2021 .."},
             {L, "12-31-20  10:30PM       <DIR>          .."},
             {L, "   "},
             {L, ""},
         }) {
        EXPECT_FALSE(ListingParser::ParseLine(line, format, kNow).has_value()) << line;
    }
}

TEST(ListingParser, piecesOfAnySizeGiveTheSameEntries) {
    const std::string listing =
        "total 2\r\n-rw-r--r-- 1 u g 5 Jan 1 2021 a\r\nodd line\n"
        "drwxr-xr-x 2 u g 4096 Jan 1 2021 b c\r\n-rw-r--r-- 1 u g 7 Jan 1 2021 no line end";
    ListingParser whole(L, kNow);
    whole.Feed(listing);
    whole.Finish();
    ASSERT_EQ(whole.Entries().size(), 4u);
    EXPECT_EQ(whole.Entries()[1].raw, "odd line");
    EXPECT_EQ(whole.Entries()[3].name, "no line end");
    ListingParser bytewise(L, kNow);
    for (const char c : listing) bytewise.Feed(std::string_view(&c, 1));
    bytewise.Finish();
    EXPECT_EQ(bytewise.Entries(), whole.Entries());
}

TEST(ListingParser, anEndlessListingKeepsWithinItsLimits) {
    ListingParser parser(L, kNow, ListingLimits{.entries = 3, .lineBytes = 40});
    for (int i = 0; i < 10; ++i) parser.Feed("-rw-r--r-- 1 u g 5 Jan 1 2021 f" + std::to_string(i) + "\r\n");
    parser.Feed(std::string(100000, 'x'));  // a line that never ends
    parser.Finish();
    ASSERT_EQ(parser.Entries().size(), 3u);
    EXPECT_EQ(parser.Entries()[2].name, "f2");
    EXPECT_EQ(parser.Dropped(), 8u);
    ListingParser longLine(L, kNow, ListingLimits{.entries = 3, .lineBytes = 40});
    longLine.Feed(std::string(100000, 'y') + "\n");
    ASSERT_EQ(longLine.Entries().size(), 1u);
    EXPECT_EQ(longLine.Entries()[0].raw.size(), 40u);
}

TEST(ServerFeatures, readsTheFeatReply) {
    const auto f = ServerFeatures::FromReply(
        "211-Features:\r\n MLST type*;size*;modify*;\r\n UTF8\r\nHASH SHA-256*;SHA-1;MD5 \r\n REST STREAM\r\n211 End\r\n");
    EXPECT_TRUE(f.Has("MLST"));
    EXPECT_TRUE(f.Has("utf8"));
    EXPECT_TRUE(f.Has("Hash"));
    EXPECT_FALSE(f.Has("MLSD"));
    EXPECT_FALSE(f.Has("211"));
    EXPECT_EQ(f.Params("HASH"), "SHA-256*;SHA-1;MD5");
    EXPECT_EQ(f.Params("rest"), "STREAM");
    EXPECT_EQ(f.Params("UTF8"), "");
    for (const char* none : {"500 'FEAT': command not understood.\r\n", "502 Not here\r\n", "211 No features\r\n", ""})
        EXPECT_TRUE(ServerFeatures::FromReply(none).Empty()) << none;
}

}  // namespace
}  // namespace vollum::test
