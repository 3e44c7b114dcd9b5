// The scanner's walk and candidate frame on hand-made raw images: page sizes, offset
// limits and the skip after an acceptance position by position, the bounds test at the
// terminating zero byte, header varints near the end of the buffer, the overlong flag,
// a family without call columns, the logtype content rule in both passes, the fill
// pass's record bound, and the pages left out (pointer maps, the lock-byte page).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "recovery/android_remnant.h"
#include "recovery/candidate_blocks.h"
#include "recovery/iphone_remnant.h"
#include "recovery/remnant_records.h"
#include "recovery/scanner.h"
#include "tests/recovery/recovery_test_support.h"

namespace {

using recovery_test::RawImage;
using recovery_test::SetSchema;

constexpr CallLogVariant kContacts = CallLogVariant::AndroidContacts2Db;
constexpr CallLogVariant kLogs = CallLogVariant::AndroidLogsDb;
// A filler no rule below takes for a candidate's next varint (a 2-byte integer in a
// TEXT column is refused).
constexpr unsigned char kFiller = 0x02;

// A table of one column (one the decoding reads: a table without such a column
// describes no call): every walked zero byte is a candidate of length 1.
const std::vector<recovery_test::Column> kAnyZeroByte = {{"duration", "INTEGER"}};

class ScannerWalk : public ::testing::Test
{
protected:
    void SetUp() override { saved = ColumnSchema; }
    void TearDown() override { ColumnSchema = saved; }
    ColumnSchemaTables saved;
};

std::int32_t Count(const RawImage& image, CallLogVariant variant = kContacts)
{
    return WalkRawBuffer(image.View(), variant, nullptr, 0, nullptr);
}

std::vector<std::int64_t> AcceptedPositions(const RawImage& image,
                                            CallLogVariant variant = kContacts)
{
    std::vector<std::int64_t> positions;
    for (const AcceptedCandidate& c : ListAcceptedCandidates(image.View(), variant)) {
        positions.push_back(c.position);
    }
    return positions;
}

// The fill pass into `records` with room for `capacity` of them, without boxes; returns
// the number accepted. The one place these tests reach the fill pass's records.
// The fill pass as the merge sees it: the first `capacity` accepted candidates decoded
// into records[0 ..] with their overlong flags; records past those the pass kept are left
// as they were. Returns the number of candidates the pass accepted.
std::int32_t FillPass(const RawImage& image, CallLogVariant variant,
                      std::vector<CallRecord>& records, std::int32_t capacity)
{
    std::vector<AcceptedCandidate> accepted;
    const std::int32_t count = WalkRawBuffer(image.View(), variant, &accepted, capacity, nullptr);
    RemnantRecords remnants(image.View(), variant, accepted);
    for (std::size_t k = 0; k < accepted.size() && k < records.size(); ++k) {
        const std::int32_t i = static_cast<std::int32_t>(k);
        remnants.Read(i, kAllFields, records[k]);
        records[k].overlong = remnants.Overlong(i);
    }
    return count;
}

TEST_F(ScannerWalk, PageSizeField)
{
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    struct Case { std::uint32_t field; std::int64_t fileLength; std::uint32_t pageSize; };
    const std::vector<Case> cases = {
        {0x0200, 1024, 512}, {0x1000, 8192, 4096}, {0x0001, 65536, 65536},
        {0x8000, 65536, 32768}, {0x0000, 4096, 0}, {0x0100, 4096, 0}, {0x0300, 4096, 0},
        {0x1001, 8192, 0}, {0xFFFF, 4096, 0}, {0x1000, 17, 0}, {0x1000, 0, 0},
    };
    for (const Case& c : cases) {
        RawImage image(c.fileLength, c.field, kFiller);
        EXPECT_EQ(ReadPageSize(image.View()), c.pageSize) << std::hex << c.field;
        if (c.pageSize == 0) {
            EXPECT_EQ(Count(image), 0) << std::hex << c.field;
        }
    }
}

// Each offset around the limits holds a zero byte alone in its page (so that no
// acceptance hides another): offsets below P - 23 are tested, below P - 32 on the last
// whole page, and the bytes after the last whole page never.
TEST_F(ScannerWalk, OffsetLimitsPositionByPosition)
{
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    for (const std::int64_t pageSize : {512, 4096, 65536}) {
        const std::uint32_t field = pageSize == 65536 ? 1 : static_cast<std::uint32_t>(pageSize);
        // Pages 0 to 2 whole (2 is the last whole page) and a tail of 100 bytes.
        const RawImage plain(3 * pageSize + 100, field, kFiller);
        const std::vector<std::int64_t> headerZeros = AcceptedPositions(plain);   // page 0's
        for (std::int64_t offset = pageSize - 40; offset < pageSize; ++offset) {
            RawImage image = plain;
            const std::int64_t inPage1 = pageSize + offset;
            const std::int64_t inLastPage = 2 * pageSize + offset;
            image.Put(inPage1, {0});
            image.Put(inLastPage, {0});
            image.Put(3 * pageSize + offset - (pageSize - 40), {0});   // in the tail
            std::vector<std::int64_t> expected = headerZeros;
            if (offset < pageSize - 23) expected.push_back(inPage1);
            if (offset < pageSize - 32) expected.push_back(inLastPage);
            EXPECT_EQ(AcceptedPositions(image), expected)
                << "page size " << pageSize << ", offset " << offset;
        }
    }
}

// After an acceptance at x the next position tested is x + 22: a zero byte at x + d is
// hidden for d = 1 .. 21 and a candidate from d = 22 on.
TEST_F(ScannerWalk, SkipAfterAnAcceptancePositionByPosition)
{
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    const RawImage plain(3 * 512, 0x0200, kFiller);
    const std::vector<std::int64_t> headerZeros = AcceptedPositions(plain);
    const std::int64_t x = 600;
    for (std::int64_t d = 1; d <= 30; ++d) {
        RawImage image = plain;
        image.Put(x, {0});
        image.Put(x + d, {0});
        std::vector<std::int64_t> expected = headerZeros;
        expected.push_back(x);
        if (d >= 22) expected.push_back(x + d);
        EXPECT_EQ(AcceptedPositions(image), expected) << "second zero byte at x + " << d;
    }
}

TEST_F(ScannerWalk, ContentMayEndOnTheTerminatingZeroByteAndNoFurther)
{
    SetSchema(ColumnSchema.android, {{"_id", "INTEGER"}, {"number", "TEXT"}});
    // Pages 0 and 1 whole, a 200-byte tail: F = 1224, the terminating zero at 1224.
    const std::int64_t x = 512 + 470;
    const std::int64_t contentFits = 1224 - (x + 3) + 1;   // 240 bytes: last byte at F
    for (const std::int64_t extra : {0, 1}) {
        RawImage image(1224, 0x0200, kFiller);
        const std::int32_t header = Count(image);
        const std::int64_t type = 13 + 2 * (contentFits + extra);
        image.Put(x, {0x00, static_cast<unsigned char>(0x80 | (type >> 7)),
                      static_cast<unsigned char>(type & 0x7F)});
        EXPECT_EQ(Count(image), header + (extra == 0 ? 1 : 0)) << "extra " << extra;
    }
}

// A header whose last varint ends on the terminating zero byte is read whole; with one
// or two columns more the candidate is rejected, on the one-byte path and on the path of
// longer varints. Past the buffer's end lie bytes that would fit further columns with
// negative content sizes, so that the content would still end in time: a walk that read
// a varint there, one byte long (0A, reserved, size -1) or longer (a BLOB whose size's
// low 32 bits are -16), would accept.
TEST_F(ScannerWalk, NoHeaderVarintStartsPastTheTerminatingZeroByte)
{
    const std::int64_t fileLength = 2 * 512;
    const std::int64_t x = fileLength - 33;   // the last tested offset of the last page
    using Bytes = std::vector<unsigned char>;
    // The 32 bytes after the zero byte at x; the terminating zero byte follows them.
    Bytes twoByteVarints;
    for (int i = 0; i < 15; ++i) {
        twoByteVarints.insert(twoByteVarints.end(), {0x80, 0x09});   // 9 in two bytes
    }
    twoByteVarints.insert(twoByteVarints.end(), {0x80, 0x80});   // 0 in three bytes, with F
    const struct { const char* path; Bytes header; std::int32_t columns; } cases[] = {
        {"one-byte varints", Bytes(32, 0x09), 1 + 33},
        {"longer varints", twoByteVarints, 1 + 16},
    };
    const Bytes pastTheEnd[] = {{0x0A, 0x0A}, {0x9F, 0xFF, 0xFF, 0xFF, 0x6C, 0x0A}};
    for (const auto& c : cases) {
        for (const Bytes& past : pastTheEnd) {
            for (const std::int32_t more : {0, 1, 2}) {
                std::vector<recovery_test::Column> columns(c.columns + more, {"c", "INTEGER"});
                columns.front() = kAnyZeroByte.front();
                SetSchema(ColumnSchema.android, columns);
                RawImage image(fileLength, 0x0200, 0x09);
                image.Put(x, {0x00});
                image.Put(x + 1, c.header);
                image.PutPastTheEnd(past);
                const std::vector<std::int64_t> positions = AcceptedPositions(image);
                const bool accepted =
                    std::find(positions.begin(), positions.end(), x) != positions.end();
                EXPECT_EQ(accepted, more == 0) << c.path << ", " << more << " columns more, "
                                               << past.size() << " bytes past the end";
            }
        }
    }
}

// The overlong flag is 1 exactly when R > P - 25, R counted from the byte before the
// zero byte: on the one-byte path, on the path of longer varints, and for the iPhone.
TEST_F(ScannerWalk, OverlongFromPageSizeMinus24)
{
    using Bytes = std::vector<unsigned char>;
    std::vector<recovery_test::Column> anyTen(10, {"c", "INTEGER"});
    anyTen.front() = kAnyZeroByte.front();
    // One-byte varints: 8 texts of 57 bytes (7F) and one of 20 (35) or 21 (37) bytes.
    Bytes oneByte487 = {0x00, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x35};
    Bytes oneByte488 = oneByte487;
    oneByte488.back() = 0x37;
    const struct {
        const char* path;
        CallLogVariant variant;
        std::vector<recovery_test::Column> columns;
        Bytes r487;   // R = 487 = P - 25
        Bytes r488;   // R = 488 = P - 24
    } cases[] = {
        {"one-byte varints", kContacts, anyTen, oneByte487, oneByte488},
        {"a two-byte varint", kContacts, {{"_id", "INTEGER"}, {"number", "TEXT"}},
         {0x00, 0x87, 0x53}, {0x00, 0x87, 0x55}},   // texts of 483 and 484 bytes
        {"iPhone", CallLogVariant::IphoneStoredata, {{"z_pk", "INTEGER"}, {"zlocation", "VARCHAR"}},
         {0x00, 0x87, 0x53}, {0x00, 0x87, 0x55}},
    };
    for (const auto& c : cases) {
        SetSchema(ColumnSchema.android, c.columns);
        SetSchema(ColumnSchema.iphone, c.columns);
        RawImage image(4 * 512, 0x0200, kFiller);
        image.Put(512, c.r487);
        image.Put(2 * 512, c.r488);
        const std::vector<AcceptedCandidate> listed =
            ListAcceptedCandidates(image.View(), c.variant);
        std::vector<CallRecord> records(listed.size());
        for (CallRecord& r : records) r.overlong = 7;
        const std::int32_t filled =
            FillPass(image, c.variant, records, static_cast<std::int32_t>(records.size()));
        ASSERT_EQ(filled, static_cast<std::int32_t>(listed.size())) << c.path;
        ASSERT_GE(listed.size(), 2u) << c.path;
        const std::size_t first = listed.size() - 2;   // after page 0's own zero byte
        EXPECT_EQ(listed[first].position, 512) << c.path;
        EXPECT_EQ(listed[first].remnantLength, 487) << c.path;
        EXPECT_EQ(listed[first + 1].remnantLength, 488) << c.path;
        EXPECT_EQ(records[first].overlong, 0) << c.path;
        EXPECT_EQ(records[first + 1].overlong, 1) << c.path;
    }
}

// The fill pass decodes into its first `capacity` records only; later candidates are
// counted. Records past the capacity keep what they held, checked here rather than left
// to the sanitizers.
TEST_F(ScannerWalk, FillPassNeverWritesPastItsRecords)
{
    SetSchema(ColumnSchema.android, {{"_id", "INTEGER"}, {"name", "TEXT"}});
    RawImage image(2 * 512, 0x0200, kFiller);
    const std::int32_t header = Count(image);   // page 0's own candidates
    image.Put(600, {0x00, 0x0F, 'A'});
    image.Put(700, {0x00, 0x0F, 'B'});
    image.Put(800, {0x00, 0x0F, 'C'});
    std::vector<CallRecord> records(static_cast<std::size_t>(header) + 3);
    for (CallRecord& r : records) {
        r.name = "untouched";
        r.overlong = 7;
    }
    EXPECT_EQ(FillPass(image, kContacts, records, header + 1), header + 3);
    EXPECT_EQ(records[header].name, "A");
    EXPECT_EQ(records[header].overlong, 0);
    for (std::size_t i = header + 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i].name, "untouched") << i;
        EXPECT_EQ(records[i].overlong, 7) << i;
    }
    // An index past the records the pass kept reads as six empty texts with overlong 0.
    std::vector<AcceptedCandidate> accepted;
    WalkRawBuffer(image.View(), kContacts, &accepted, header + 1, nullptr);
    RemnantRecords remnants(image.View(), kContacts, accepted);
    EXPECT_EQ(remnants.Count(), header + 1);
    CallRecord unreached;
    unreached.number = unreached.name = "before";
    remnants.Read(header + 1, kAllFields, unreached);
    EXPECT_EQ(unreached.number + unreached.name, "");
    EXPECT_EQ(remnants.Overlong(header + 1), 0);
}

// A family without a column the decoding reads (none at all when the open found no
// call table; a table of that name with other columns) describes no record: nothing is
// accepted, not even in a file of zeros, in any variant.
TEST_F(ScannerWalk, FamilyWithoutCallColumnsAcceptsNothing)
{
    const std::vector<recovery_test::Column> otherColumns[] = {
        {}, {{"_id", "INTEGER"}, {"label", "TEXT"}, {"z_opt", "INTEGER"}}};
    const RawImage zeros(4 * 512, 0x0200, 0x00);
    for (const auto& columns : otherColumns) {
        SetSchema(ColumnSchema.android, columns);
        SetSchema(ColumnSchema.iphone, columns);
        for (const CallLogVariant variant :
             {kContacts, CallLogVariant::AndroidCallDb, CallLogVariant::AndroidLogsDb,
              CallLogVariant::IphoneStoredata}) {
            EXPECT_EQ(Count(zeros, variant), 0) << static_cast<int>(variant);
            EXPECT_TRUE(AcceptedPositions(zeros, variant).empty()) << static_cast<int>(variant);
        }
    }
}

// logs.db "logtype": a one-byte integer of any value, a two-byte one only for a video
// call (500), and the count pass, the list and the fill pass agree candidate by
// candidate.
TEST_F(ScannerWalk, LogtypeRuleInBothPasses)
{
    SetSchema(ColumnSchema.android, {{"_id", "INTEGER"}, {"logtype", "INTEGER"},
                                     {"number", "TEXT"}});
    const struct { std::vector<unsigned char> logtype; bool accepted; } cases[] = {
        {{0x01, 100}, true},
        {{0x02, 0x01, 0xF4}, true},          // 500, a video call
        {{0x02, 0x01, 0x2C}, false},         // 300, a text message
        {{0x01, 0x2C}, true},                // 44: 300's low byte alone
        {{0x01, 0xF4}, true},                // -12: 500's low byte alone
        {{0x02, 0x2D, 0x00}, false},         // a message copy whose last bytes were written over
        {{0x02, 0x00, 0x64}, false},         // 100, which SQLite keeps in one byte
        {{0x02, 0x01, 0xF5}, false},         // 501
        {{0x02, 0xFE, 0x0C}, false},         // -500
        {{0x03, 0x00, 0x01, 0x2C}, false},   // three bytes: refused by serial type
        {{0x09}, false},
        {{0x00}, false},
    };
    RawImage image(2 * 512, 0x0200, kFiller);
    ASSERT_TRUE(AcceptedPositions(image, kLogs).empty());
    std::vector<std::int64_t> expected;
    std::vector<std::string> expectedNumbers;
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const std::int64_t at = 520 + 30 * static_cast<std::int64_t>(i);
        const std::vector<unsigned char>& logtype = cases[i].logtype;
        const char number = static_cast<char>('A' + i);
        std::vector<unsigned char> bytes = {0x00, logtype[0], 0x0F};
        bytes.insert(bytes.end(), logtype.begin() + 1, logtype.end());
        bytes.push_back(static_cast<unsigned char>(number));
        image.Put(at, bytes);
        if (cases[i].accepted) {
            expected.push_back(at);
            expectedNumbers.push_back(std::string(1, number));
        }
    }
    EXPECT_EQ(AcceptedPositions(image, kLogs), expected);
    EXPECT_EQ(Count(image, kLogs), static_cast<std::int32_t>(expected.size()));
    std::vector<CallRecord> records(expected.size());
    EXPECT_EQ(FillPass(image, kLogs, records,
                       static_cast<std::int32_t>(records.size())),
              static_cast<std::int32_t>(expected.size()));
    for (std::size_t k = 0; k < records.size(); ++k) {
        EXPECT_EQ(records[k].number, expectedNumbers[k]) << k;
    }
}

TEST_F(ScannerWalk, FillPassNeverKeepsMoreThanItsRecords)
{
    const ColumnSchemaFamily savedIphone = ColumnSchema.iphone;
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    SetSchema(ColumnSchema.iphone, {{"zduration", "INTEGER"}});
    RawImage image(2 * 512, 0x0200, kFiller);
    const std::int32_t header = Count(image);   // page 0's own candidates
    image.Put(600, {0});
    image.Put(700, {0});
    for (const CallLogVariant variant : {kContacts, CallLogVariant::IphoneStoredata}) {
        std::vector<AcceptedCandidate> accepted;
        EXPECT_EQ(WalkRawBuffer(image.View(), variant, &accepted, 1, nullptr), header + 2);
        EXPECT_EQ(accepted.size(), 1u);
    }
    ColumnSchema.iphone = savedIphone;
}

// With a largest root page other than 0 the file keeps pointer-map pages, page 2 and
// then one every usable size / 5 + 1 pages, and the walk leaves them out whatever lies
// on them; a remnant that starts on the page before one runs on into it as into any
// page. 250 pages of 512 bytes, a record at offset 100 of each from page 2 on and one
// at offset 480 of page 104 whose text ends on page 105.
TEST_F(ScannerWalk, PointerMapPagesAreNotWalked)
{
    SetSchema(ColumnSchema.android, {{"duration", "INTEGER"}, {"number", "TEXT"}});
    constexpr std::int64_t kPage = 512;
    constexpr std::int64_t kPages = 250;
    const std::int64_t spanning = 103 * kPage + 480;
    const struct { unsigned char largestRoot; unsigned char reserved; std::vector<std::int64_t> maps; }
        cases[] = {
            {0, 0, {}},
            {7, 0, {2, 105, 208}},     // 512 / 5 = 102 pages mapped by each
            {7, 12, {2, 103, 204}},    // usable size 500: 100 each
            {7, 255, {2, 54, 106, 158, 210}},
        };
    for (const auto& c : cases) {
        RawImage image(kPages * kPage, 0x0200, kFiller);
        image.Put(20, {c.reserved});
        image.Put(55, {c.largestRoot});
        std::vector<std::int64_t> expected = AcceptedPositions(image);   // page 1's own
        for (std::int64_t page = 2; page <= kPages; ++page) {
            const std::int64_t at = (page - 1) * kPage + 100;
            image.Put(at, {0x00, 0x0F, 'x'});
            if (std::find(c.maps.begin(), c.maps.end(), page) == c.maps.end()) {
                expected.push_back(at);
            }
            if (at + 380 == spanning) {
                image.Put(spanning, {0x00, 0x81, 0x4F});   // a text of 97 bytes
                expected.push_back(spanning);
            }
        }
        EXPECT_EQ(AcceptedPositions(image), expected)
            << "reserved " << int{c.reserved} << ", largest root " << int{c.largestRoot};
    }
}

// The page holding byte 2^30 is walked in no file that reaches it, and a pointer-map
// page that would fall on it is the page after it. Asked of the pages around it by
// page size (walking a file of 1 GiB would take seconds); the walk asks the same for
// every page, as PointerMapPagesAreNotWalked shows.
TEST_F(ScannerWalk, LockBytePageIsNotWalked)
{
    const struct { std::uint32_t field; std::int64_t lockBytePage; } sizes[] = {
        {0x0200, 2097153}, {0x0400, 1048577}, {0x1000, 262145}, {0x0001, 16385}};
    for (const auto& size : sizes) {
        for (const unsigned char largestRoot : {0, 3}) {
            RawImage header(1024, size.field, kFiller);
            header.Put(55, {largestRoot});
            const std::int64_t pageSize = ReadPageSize(header.View());
            const PagesNotWalked notWalked(header.View(), pageSize);
            // Page numbers from 1, as SQLite counts them; Contains takes indexes from 0.
            const auto skipped = [&](std::int64_t page) { return notWalked.Contains(page - 1); };
            const std::int64_t lock = size.lockBytePage;
            EXPECT_TRUE(skipped(lock)) << pageSize;
            EXPECT_FALSE(skipped(lock - 1)) << pageSize;
            // 1024 / 5 + 1 = 205 divides 1,048,575: that pointer-map page moves on by one.
            const bool movedMap = pageSize == 1024 && largestRoot != 0;
            EXPECT_EQ(skipped(lock + 1), movedMap) << pageSize;
            EXPECT_FALSE(skipped(lock + 2)) << pageSize;
        }
    }
}

TEST_F(ScannerWalk, VariantFromTheEndOfThePath)
{
    const std::vector<std::pair<std::string, CallLogVariant>> cases = {
        {"/d/CallHistory.storedata", CallLogVariant::IphoneStoredata},
        {"/d/CALL.DB", CallLogVariant::AndroidCallDb},
        {"/d/contacts2.db", CallLogVariant::AndroidContacts2Db},
        {"/d/Logs.db", CallLogVariant::AndroidLogsDb},
        {"/d/call_history.db", CallLogVariant::None},
        {"/d/contacts2.db-wal", CallLogVariant::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScanVariantOf(c.first), c.second) << c.first;
    }
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    RawImage image(2 * 512, 0x0200, kFiller);
    image.Put(600, {0});
    EXPECT_EQ(Count(image, CallLogVariant::None), 0);
    EXPECT_EQ(Count(image, CallLogVariant::IphoneCallHistoryDb), 0);
}

// The calls table of contacts2.db, shortened: texts, the date, integers of any type.
std::vector<recovery_test::Column> CallsColumns()
{
    return {{"_id", "INTEGER"}, {"number", "TEXT"}, {"date", "INTEGER"},
            {"duration", "INTEGER"}, {"type", "INTEGER"}, {"new", "INTEGER"},
            {"name", "TEXT"}, {"numbertype", "INTEGER"}, {"numberlabel", "TEXT"},
            {"countryiso", "TEXT"}, {"geocoded_location", "TEXT"}, {"state", "INTEGER"}};
}

// Every (b1, b2) after a zero byte, each with several b3, under the rules of each
// variant: every way of marking candidates this CPU runs marks exactly the zero bytes
// MayAccept lets through.
TEST_F(ScannerWalk, EveryBlockKindMarksWhatMayAcceptLetsThrough)
{
    constexpr std::int64_t kPage = 32768;
    constexpr std::int64_t kSlack = CandidateBlocks::kBlockBytes + 3;
    // Column 3 bytes: NULL, a six-byte integer, a double, texts, a multi-byte varint.
    const unsigned char kThird[] = {0x00, 0x05, 0x07, 0x0F, 0x11, 0x80};
    std::vector<unsigned char> bytes;
    for (unsigned pair = 0; pair < 65536; ++pair) {
        for (const unsigned char third : kThird) {
            bytes.insert(bytes.end(), {0, static_cast<unsigned char>(pair >> 8),
                                       static_cast<unsigned char>(pair), third});
        }
    }
    const std::int64_t pages = static_cast<std::int64_t>(bytes.size()) / kPage;
    bytes.resize(bytes.size() + kSlack, 0);
    SetSchema(ColumnSchema.android, CallsColumns());
    std::vector<ColumnRules> rules(5);
    CompileAndroidRules(kContacts, ColumnSchema.android, rules[0]);
    CompileAndroidRules(CallLogVariant::AndroidCallDb, ColumnSchema.android, rules[1]);
    SetSchema(ColumnSchema.android, {{"_id", "INTEGER"}, {"logtype", "INTEGER"},
                                     {"number", "TEXT"}});
    CompileAndroidRules(CallLogVariant::AndroidLogsDb, ColumnSchema.android, rules[2]);
    SetSchema(ColumnSchema.android, {{"_id", "INTEGER"}, {"number", "TEXT"}});
    CompileAndroidRules(kContacts, ColumnSchema.android, rules[3]);   // one column marked
    // The 6.0 order: column 2 takes anything, column 3 (date) one serial type.
    SetSchema(ColumnSchema.android, {{"_id", "INTEGER"}, {"number", "TEXT"},
                                     {"presentation", "INTEGER"}, {"date", "INTEGER"}});
    CompileAndroidRules(kContacts, ColumnSchema.android, rules[4]);
    for (const CandidateBlockKind kind :
         {CandidateBlockKind::Scalar, CandidateBlockKind::Sse2, CandidateBlockKind::Ssse3,
          CandidateBlockKind::Avx2}) {
        if (!SetCandidateBlockKind(kind)) {
            continue;
        }
        for (std::size_t r = 0; r < rules.size(); ++r) {
            const CandidateBlocks blocks(rules[r]);
            std::uint32_t words[CandidateBlocks::kWordsPerPage];
            for (std::int64_t page = 0; page < pages; ++page) {
                const unsigned char* const at = bytes.data() + page * kPage;
                blocks.Mark(at, kPage, words);
                for (std::int64_t o = 0; o < kPage; ++o) {
                    const bool marked = ((words[o / 32] >> (o % 32)) & 1U) != 0;
                    ASSERT_EQ(marked, at[o] == 0 && blocks.MayAccept(at + o))
                        << "kind " << static_cast<int>(kind) << " rules " << r << " offset "
                        << page * kPage + o;
                }
            }
        }
    }
    SetCandidateBlockKind(CandidateBlockKind::Best);
}

// The walk exactly as the format describes it, position by position with
// MatchCandidateByColumn (and the logs.db content check) on the pages walked: what the
// scanner must accept.
std::vector<AcceptedCandidate> AcceptedPositionByPosition(const RawBuffer& buffer,
                                                          CallLogVariant variant)
{
    const std::int64_t pageSize = ReadPageSize(buffer);
    const bool iphone = variant == CallLogVariant::IphoneStoredata;
    const auto android = std::make_unique<ColumnRules>();
    const auto apple = std::make_unique<IphoneRules>();
    CompileAndroidRules(variant, ColumnSchema.android, *android);
    CompileIphoneRules(ColumnSchema.iphone, *apple);
    const ColumnRules& rules = iphone ? apple->columns : *android;
    const AndroidContentCheck contentCheck(variant, ColumnSchema.android);
    const auto header = std::make_unique<CandidateHeader>();
    std::vector<AcceptedCandidate> accepted;
    const std::int64_t pages = pageSize == 0 ? 0 : buffer.fileLength / pageSize;
    for (std::int64_t page = 0; page < pages; ++page) {
        if (PagesNotWalked(buffer, pageSize).Contains(page)) {
            continue;
        }
        const std::int64_t limit = pageSize - (page == pages - 1 ? 32 : 23);
        for (std::int64_t offset = 0; offset < limit;) {
            const std::int64_t x = page * pageSize + offset;
            const bool ok = MatchCandidateByColumn(buffer, x, rules, *header) &&
                            (iphone || !contentCheck.Refuses(buffer, *header));
            if (ok) {
                accepted.push_back({x, header->remnantLength});
            }
            offset += ok ? 22 : 1;
        }
    }
    return accepted;
}

// Every way of marking this CPU runs accepts at the same positions, with the same
// remnant lengths, as the position-by-position walk.
void ExpectPlainWalkAcceptance(const RawImage& image, CallLogVariant variant,
                               const std::string& what)
{
    const std::vector<AcceptedCandidate> expected =
        AcceptedPositionByPosition(image.View(), variant);
    for (const CandidateBlockKind kind : {CandidateBlockKind::Scalar, CandidateBlockKind::Sse2,
                                          CandidateBlockKind::Ssse3, CandidateBlockKind::Avx2}) {
        if (!SetCandidateBlockKind(kind)) {
            continue;
        }
        const std::vector<AcceptedCandidate> got = ListAcceptedCandidates(image.View(), variant);
        ASSERT_EQ(got.size(), expected.size()) << what << ", kind " << static_cast<int>(kind);
        for (std::size_t k = 0; k < got.size(); ++k) {
            ASSERT_EQ(got[k].position, expected[k].position) << what << ", candidate " << k;
            ASSERT_EQ(got[k].remnantLength, expected[k].remnantLength) << what;
        }
    }
    SetCandidateBlockKind(CandidateBlockKind::Best);
}

// Zero runs of every length around the header's (C bytes for C columns), in mid page,
// across a page end, at the last page's limit and at the file's end (with a tail after
// the last whole page, and without), among other bytes: accepted as the plain walk
// accepts them. The layouts include tables whose first three columns take NULL, so that
// an all-zero header gets past the marking and is refused by a later column (one of
// them wider than the 32 untested bytes at the end of the last page), and one that
// accepts it.
TEST_F(ScannerWalk, ZeroRunsAcceptWhatThePlainWalkAccepts)
{
    using recovery_test::Column;
    struct Layout { CallLogVariant variant; std::vector<Column> columns; };
    std::vector<Column> wide(39, Column{"state", "INTEGER"});
    wide.front() = {"_id", "INTEGER"};
    wide.push_back({"date", "INTEGER"});
    const std::vector<Layout> layouts = {
        {kContacts, CallsColumns()},
        {kContacts, {{"_id", "INTEGER"}, {"number", "TEXT"}, {"presentation", "INTEGER"},
                     {"date", "INTEGER"}, {"duration", "INTEGER"}, {"type", "INTEGER"},
                     {"name", "TEXT"}}},
        {CallLogVariant::AndroidCallDb, CallsColumns()},
        {CallLogVariant::AndroidLogsDb, {{"_id", "INTEGER"}, {"number", "TEXT"},
                                         {"address", "TEXT"}, {"new", "INTEGER"},
                                         {"logtype", "INTEGER"}, {"date", "INTEGER"}}},
        {kContacts, {{"_id", "INTEGER"}, {"new", "INTEGER"}, {"is_read", "INTEGER"},
                     {"numbertype", "INTEGER"}, {"number", "TEXT"}, {"state", "INTEGER"},
                     {"date", "INTEGER"}}},
        {kContacts, wide},
        {kContacts, {{"_id", "INTEGER"}, {"new", "INTEGER"}, {"number", "TEXT"}}},
        {CallLogVariant::IphoneStoredata,
         {{"z_pk", "INTEGER"}, {"z_ent", "INTEGER"}, {"zanswered", "INTEGER"},
          {"zdate", "TIMESTAMP"}, {"zduration", "FLOAT"}, {"zaddress", "BLOB"}}},
        {CallLogVariant::IphoneStoredata,
         {{"z_pk", "INTEGER"}, {"z_opt", "INTEGER"}, {"zcalltype", "INTEGER"},
          {"zread", "INTEGER"}, {"zduration", "FLOAT"}, {"zlocation", "VARCHAR"},
          {"zdate", "TIMESTAMP"}}},
    };
    const ColumnSchemaFamily savedIphone = ColumnSchema.iphone;
    constexpr std::int64_t kPage = 512;
    const unsigned char kOther[] = {0x01, 0x02, 0x05, 0x07, 0x08, 0x09, 0x0F, 0x11, 0x81};
    std::mt19937 random(11);
    for (const Layout& layout : layouts) {
        const bool iphone = layout.variant == CallLogVariant::IphoneStoredata;
        SetSchema(iphone ? ColumnSchema.iphone : ColumnSchema.android, layout.columns);
        const std::int64_t columns = static_cast<std::int64_t>(layout.columns.size());
        for (std::int64_t length = std::max<std::int64_t>(1, columns - 3); length <= columns + 3;
             ++length) {
            for (const std::int64_t tail : {100, 0}) {
                const std::int64_t fileLength = 4 * kPage + tail;
                for (const std::int64_t start :
                     {kPage + 100, 2 * kPage - length, 3 * kPage - 25,
                      4 * kPage - 32 - length / 2, fileLength - length}) {
                    RawImage image(fileLength, static_cast<std::uint32_t>(kPage), kFiller);
                    // The header's fields are left as RawImage sets them: every page walked.
                    for (std::int64_t i = RawImage::kLargestRootPageEnd; i < fileLength; ++i) {
                        image.Put(i, {kOther[random() % sizeof kOther]});
                    }
                    image.Put(start,
                              std::vector<unsigned char>(static_cast<std::size_t>(length), 0));
                    ExpectPlainWalkAcceptance(image, layout.variant,
                                              std::to_string(columns) + " columns, " +
                                                  std::to_string(length) + " zeros at " +
                                                  std::to_string(start) + " of " +
                                                  std::to_string(fileLength));
                }
            }
        }
    }
    ColumnSchema.iphone = savedIphone;
}

// Random headers of mostly one-byte varints: the branch-free reading agrees with the
// column-by-column one on acceptance and on every field of the header.
TEST_F(ScannerWalk, OneByteHeadersReadAsColumnByColumn)
{
    SetSchema(ColumnSchema.android, CallsColumns());
    ColumnRules rules;
    CompileAndroidRules(kContacts, ColumnSchema.android, rules);
    const unsigned char kBytes[] = {0x00, 0x01, 0x05, 0x08, 0x09, 0x0D, 0x0F, 0x11, 0x7F, 0x81};
    std::mt19937 random(7);
    std::vector<unsigned char> data(40);
    for (int round = 0; round < 20000; ++round) {
        for (unsigned char& b : data) {
            b = kBytes[random() % sizeof kBytes];
        }
        data[0] = 0;
        data[1] = round % 2 == 0 ? 0x0F : data[1];   // often a header that reads on
        data[2] = round % 3 == 0 ? 0x05 : data[2];
        // Varied lengths: the terminating zero byte lands inside and past the header.
        const std::int64_t length = 1 + static_cast<std::int64_t>(random() % 38);
        data[length] = 0;
        const RawBuffer buffer{data.data(), length};
        CandidateHeader fast;
        CandidateHeader plain;
        const bool accepted = MatchCandidate(buffer, 0, rules, fast);
        ASSERT_EQ(accepted, MatchCandidateByColumn(buffer, 0, rules, plain)) << round;
        if (!accepted) {
            continue;
        }
        ASSERT_EQ(fast.remnantLength, plain.remnantLength);
        ASSERT_EQ(fast.contentStart, plain.contentStart);
        for (std::int32_t i = 0; i < rules.columnCount; ++i) {
            ASSERT_EQ(fast.serialTypes[i], plain.serialTypes[i]) << i;
            ASSERT_EQ(fast.varintLengths[i], plain.varintLengths[i]) << i;
            ASSERT_EQ(fast.contentSizes[i], plain.contentSizes[i]) << i;
        }
    }
}

}  // namespace
