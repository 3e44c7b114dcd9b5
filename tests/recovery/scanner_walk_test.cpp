// The scanner's walk and candidate frame on hand-made raw images: page sizes, offset
// limits, the skip after an acceptance, the bounds test at the terminating zero byte,
// header varints near the end of the buffer, and the overlong flag.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
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
// A filler no rule below takes for a candidate's next varint (a 2-byte integer in a
// TEXT column is refused).
constexpr unsigned char kFiller = 0x02;

// A table of one column: every walked zero byte is a candidate of length 1.
const std::vector<recovery_test::Column> kAnyZeroByte = {{"_id", "INTEGER"}};

class ScannerWalk : public ::testing::Test
{
protected:
    void SetUp() override { saved = ColumnSchema.android; }
    void TearDown() override { ColumnSchema.android = saved; }
    ColumnSchemaFamily saved;
};

std::int32_t Count(const RawImage& image, CallLogVariant variant = kContacts)
{
    return WalkRawBuffer(image.View(), variant, nullptr, 0, nullptr);
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

TEST_F(ScannerWalk, OffsetLimitsOfPagesAndLastWholePage)
{
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    for (const std::int64_t pageSize : {512, 4096, 65536}) {
        const std::uint32_t field = pageSize == 65536 ? 1 : static_cast<std::uint32_t>(pageSize);
        // Three whole pages and a tail; the header's own zero byte (if any) counts too.
        RawImage image(3 * pageSize + 100, field, kFiller);
        const std::int32_t header = Count(image);
        const std::int64_t page1 = pageSize;
        const std::int64_t last = 2 * pageSize;
        for (const std::int64_t at : {page1, page1 + pageSize - 24, last + pageSize - 33}) {
            image.Put(at, {0});   // tested positions
        }
        for (const std::int64_t at : {page1 + pageSize - 23, last + pageSize - 32,
                                      last + pageSize + 10}) {
            image.Put(at, {0});   // past the limits, and the tail after the last page
        }
        EXPECT_EQ(Count(image), header + 3) << "page size " << pageSize;
    }
}

TEST_F(ScannerWalk, SkipsTwentyOnePositionsAfterAnAcceptance)
{
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    RawImage image(3 * 512, 0x0200, kFiller);
    const std::int32_t header = Count(image);
    const std::int64_t x = 600;
    image.Put(x, {0});
    image.Put(x + 21, {0});   // skipped
    image.Put(x + 22, {0});   // tested again
    image.Put(x + 23, {0});   // skipped after x + 22
    image.Put(x + 44, {0});
    EXPECT_EQ(Count(image), header + 3);
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

TEST_F(ScannerWalk, NoHeaderVarintStartsPastTheTerminatingZeroByte)
{
    // Columns of any serial type; every byte after the candidate is 09 (no content), so
    // a header of C varints needs C - 1 bytes after the zero byte at x.
    const std::int64_t fileLength = 2 * 512;
    const std::int64_t x = fileLength - 33;   // the last tested offset of the last page
    for (const std::int32_t columns : {34, 35}) {
        std::vector<recovery_test::Column> schema(columns, {"c", "INTEGER"});
        SetSchema(ColumnSchema.android, schema);
        RawImage image(fileLength, 0x0200, 0x09);
        const std::int32_t header = Count(image);
        image.Put(x, {0});
        // 34 varints: the last one is the terminating zero byte itself; 35 would start
        // past it.
        EXPECT_EQ(Count(image), header + (columns == 34 ? 1 : 0)) << columns << " columns";
    }
}

TEST_F(ScannerWalk, OverlongFromPageSizeMinus24)
{
    SetSchema(ColumnSchema.android, {{"_id", "INTEGER"}, {"number", "TEXT"}});
    // R = 1 + 1 + 2 (varints) + Z: Z = 483 gives R = 487 = P - 25, Z = 484 gives P - 24.
    RawImage image(4 * 512, 0x0200, kFiller);
    image.Put(512, {0x00, 0x87, 0x53});       // serial type 979: 483 bytes
    image.Put(2 * 512, {0x00, 0x87, 0x55});   // serial type 981: 484 bytes
    std::vector<AcceptedCandidate> accepted;
    ASSERT_EQ(WalkRawBuffer(image.View(), kContacts, &accepted, 2, nullptr), 2);
    RemnantRecords records(image.View(), kContacts, accepted);
    EXPECT_EQ(records.Overlong(0), 0);
    EXPECT_EQ(records.Overlong(1), 1);
    // A record the pass did not reach (the file changed between the passes).
    EXPECT_EQ(records.Overlong(2), 0);
    CallRecord unreached;
    unreached.number = unreached.name = "before";
    records.Read(2, kAllFields, unreached);
    EXPECT_EQ(unreached.number + unreached.name, "");
}

TEST_F(ScannerWalk, FillPassNeverKeepsMoreThanItsRecords)
{
    const ColumnSchemaFamily savedIphone = ColumnSchema.iphone;
    SetSchema(ColumnSchema.android, kAnyZeroByte);
    SetSchema(ColumnSchema.iphone, {{"z_pk", "INTEGER"}});
    RawImage image(2 * 512, 0x0200, kFiller);
    image.Put(600, {0});
    image.Put(700, {0});
    for (const CallLogVariant variant : {kContacts, CallLogVariant::IphoneStoredata}) {
        std::vector<AcceptedCandidate> accepted;
        EXPECT_EQ(WalkRawBuffer(image.View(), variant, &accepted, 1, nullptr), 3);
        EXPECT_EQ(accepted.size(), 1u);
    }
    ColumnSchema.iphone = savedIphone;
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
// MatchCandidateByColumn (and the logs.db content check): what the scanner must accept.
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
                    for (std::int64_t i = 18; i < fileLength; ++i) {
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
