// Both passes of the scanner on real SQLite files of the phone layouts, with deleted
// rows left in the file: every deleted call whose record bytes are still in place comes
// back with exactly the texts a live read of the same row gives, live calls are dropped
// as duplicates, and the name boxes, the result message and the title agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file.h"
#include "tests/support/scripted_modal_ui.h"
#include "platform/ui/wnd.h"
#include "reader/call_rows.h"
#include "recovery/android_remnant.h"
#include "recovery/iphone_remnant.h"
#include "recovery/main_window_ids.h"
#include "recovery/raw_file.h"
#include "recovery/scanner.h"
#include "recovery/schema_capture.h"
#include "tests/recovery/recovery_test_support.h"
#include "tests/support/fixtures.h"

namespace {

using Texts = std::tuple<std::string, std::string, std::string, std::string, std::string,
                         std::string>;

Texts TextsOf(const CallRecord& r)
{
    return {r.name, r.callType, r.callTime, r.duration, r.location, r.number};
}

class ScanEndToEnd : public ::testing::Test, protected recovery_test::MainWindowWithList
{
protected:
    void TearDown() override { CallRecordTable.Reset(); }

    // The open sequence's reading part: live rows, schema, list (last row first).
    void LoadLive(const std::string& path)
    {
        CallRecordTable.Reset();
        list.DeleteAllItems();
        const CallLogVariant variant = FindCallLogVariant(path);
        CallLogConnection connection(path);
        ASSERT_TRUE(connection.IsOpen()) << path;
        if (IsIphoneVariant(variant)) {
            ReadIphoneCallRows(connection);
        } else {
            ReadAndroidCallRows(connection, window);
        }
        CaptureColumnSchema(connection, variant);
        for (int i = CallRecordTable.recordCount - 1; i >= 0; --i) {
            list.InsertItem(list.GetItemCount(), CallRecordTable.records[i].name.c_str());
        }
        CallRecordTable.firstRecoveredIndex = CallRecordTable.recordCount;
    }

    std::vector<Texts> LiveTexts(const std::string& path)
    {
        LoadLive(path);
        std::vector<Texts> texts;
        for (int i = 0; i < CallRecordTable.recordCount; ++i) {
            texts.push_back(TextsOf(CallRecordTable.records[i]));
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    // One read, count pass, `between`, fill pass, as the Recover command runs them;
    // returns the count.
    std::int32_t Recover(const std::string& path, const std::function<void()>& between = {})
    {
        const RawFileBytes file(path);
        std::int32_t counter = 0;
        ScanDeletedRecords(counter, &window, file);
        EXPECT_TRUE(modal.ui.messageBoxes.empty()) << "the count pass shows nothing";
        const std::int32_t accepted = counter;
        if (between) {
            between();
        }
        ScanDeletedRecords(counter, &window, file);
        EXPECT_EQ(counter, accepted);
        return accepted;
    }

    std::vector<Texts> Appended() const
    {
        std::vector<Texts> texts;
        for (int i = CallRecordTable.firstRecoveredIndex; i < CallRecordTable.recordCount; ++i) {
            texts.push_back(TextsOf(CallRecordTable.records[i]));
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    // Every position of the file (from `from` up to `to`, when given) that the variant's
    // frame accepts, decoded, with the span of its record bytes; the schema must be that
    // of the file.
    struct Located { Texts texts; std::int64_t position; std::int64_t length; };
    static std::vector<Located> LocateRecords(const std::string& file, CallLogVariant variant,
                                              std::int64_t from = 0, std::int64_t to = -1)
    {
        const RawBuffer buffer{reinterpret_cast<const unsigned char*>(file.c_str()),
                               static_cast<std::int64_t>(file.size())};
        ColumnRules android;
        IphoneRules iphone;
        CompileAndroidRules(variant, ColumnSchema.android, android);
        CompileIphoneRules(ColumnSchema.iphone, iphone);
        const auto header = std::make_unique<CandidateHeader>();
        const AndroidContentCheck contentCheck(variant, ColumnSchema.android);
        std::vector<Located> found;
        for (std::int64_t x = from; x < (to < 0 ? buffer.fileLength : to); ++x) {
            CallRecord record;
            std::int64_t length = 0;
            if (variant == CallLogVariant::IphoneStoredata) {
                if (!MatchIphoneRecord(&record, x, &length, buffer, iphone, *header)) continue;
            } else {
                if (!MatchCandidate(buffer, x, android, *header) ||
                    contentCheck.Refuses(buffer, *header)) continue;
                DecodeAndroidRecord(variant, ColumnSchema.android, buffer, *header, record,
                                    nullptr);
                length = header->remnantLength;
            }
            found.push_back({TextsOf(record), x, length});
        }
        return found;
    }

    // Builds the file twice from `calls`: whole, and with every fourth call deleted.
    // Every row of the whole file must decode to the texts its live read gives; every
    // deleted call whose record bytes the deletion left as they were must come back
    // with those texts; no live call may come back.
    template <typename Call, typename Build>
    void CheckRecovery(const std::string& fileName, std::vector<Call> calls, Build build,
                       bool namesShown)
    {
        fixtures::TempDir dir;
        const std::string wholePath = dir.File("whole-" + fileName);
        build(wholePath, calls);
        const std::vector<Texts> wholeLive = LiveTexts(wholePath);
        const std::string whole = fixtures::ReadFileBytes(wholePath);
        const std::vector<Located> located = LocateRecords(whole, ScanVariantOf(fileName));
        for (const Texts& row : wholeLive) {
            EXPECT_TRUE(std::any_of(located.begin(), located.end(),
                                    [&](const Located& l) { return l.texts == row; }))
                << fileName << ": a live row has no remnant with its texts, number "
                << std::get<5>(row);
        }

        for (std::size_t i = 0; i < calls.size(); ++i) {
            calls[i].deleted = i % 4 == 1;   // every call type among them
        }
        const std::string path = dir.File(fileName);
        build(path, calls);
        const std::vector<Texts> live = LiveTexts(path);
        const std::string file = fixtures::ReadFileBytes(path);
        std::set<Texts> intactDeleted;
        for (const Located& l : located) {
            const bool deleted = !std::binary_search(live.begin(), live.end(), l.texts);
            const std::size_t span = static_cast<std::size_t>(l.length - 1);
            if (deleted && whole.compare(l.position, span, file, l.position, span) == 0) {
                intactDeleted.insert(l.texts);
            }
        }
        EXPECT_GE(intactDeleted.size(), calls.size() / 8) << fileName;

        const int liveCount = CallRecordTable.recordCount;
        const std::int32_t accepted = Recover(path);
        const std::vector<Texts> appended = Appended();
        for (const Texts& t : intactDeleted) {
            EXPECT_TRUE(std::binary_search(appended.begin(), appended.end(), t))
                << fileName << ": deleted call not recovered, number " << std::get<5>(t);
        }
        for (const Texts& t : appended) {
            EXPECT_FALSE(std::binary_search(live.begin(), live.end(), t))
                << fileName << ": a live call came back, number " << std::get<5>(t);
        }
        const int k = CallRecordTable.recordCount - liveCount;
        EXPECT_EQ(list.GetItemCount(), liveCount + k);
        EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(k));
        ASSERT_FALSE(modal.ui.messageBoxes.empty());
        EXPECT_NE(modal.ui.messageBoxes.back().text.find(":" + std::to_string(k) + "条"),
                  std::string::npos);
        // One name box per accepted candidate on Android, none on iPhone, then the result.
        EXPECT_EQ(modal.ui.messageBoxes.size(),
                  static_cast<std::size_t>(namesShown ? accepted : 0) + 1);

        // A second recovery keeps nothing new: what was kept now counts as in use.
        modal.ui.messageBoxes.clear();
        Recover(path);
        EXPECT_EQ(CallRecordTable.recordCount, liveCount + k);
        EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(0));
        modal.ui.messageBoxes.clear();
    }

    ScopedModalUi modal;
};

using fixtures::AndroidLayout;

TEST_F(ScanEndToEnd, AndroidContacts2Releases)
{
    for (AndroidLayout layout : {AndroidLayout::Calls40, AndroidLayout::Calls60,
                                 AndroidLayout::Calls60Upgraded}) {
        CheckRecovery("contacts2.db", fixtures::GeneratedAndroidCalls(90),
                      [layout](const std::string& path,
                               const std::vector<fixtures::AndroidCall>& calls) {
                          fixtures::BuildAndroidDatabase(path, layout, calls);
                      },
                      true);
        modal.ui.messageBoxes.clear();
    }
}

// Remnant texts are read in the encoding the database header names, whatever the
// variant's usual one, so that they equal the live reader's.
TEST_F(ScanEndToEnd, AndroidTextsInTheDatabasesOwnEncoding)
{
    const struct { const char* fileName; AndroidLayout layout; const char* encoding; } cases[] = {
        {"call.db", AndroidLayout::VendorCallDb, ""},   // UTF-16le, as vendors write it
        {"call.db", AndroidLayout::VendorCallDb, "UTF-8"},
        {"contacts2.db", AndroidLayout::Calls40, "UTF-16le"},
        {"contacts2.db", AndroidLayout::Calls60, "UTF-16be"},
        {"logs.db", AndroidLayout::VendorLogs, "UTF-16le"},
        {"logs.db", AndroidLayout::VendorLogs, "UTF-16be"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fileName) + " " + c.encoding);
        fixtures::BuildOptions options;
        options.encoding = c.encoding;
        CheckRecovery(c.fileName, fixtures::GeneratedAndroidCalls(90),
                      [&](const std::string& path,
                          const std::vector<fixtures::AndroidCall>& calls) {
                          fixtures::BuildAndroidDatabase(path, c.layout, calls, options);
                      },
                      true);
        modal.ui.messageBoxes.clear();
    }
}

// logs.db keeps text messages (logtype 300) beside voice (100) and video calls (500,
// two bytes on disk): deleted calls of both kinds come back, text messages never, live
// or deleted. What a remnant of each row reads is what a live read of the same row
// gives when it is a voice call. The 36 rows fit one page, so no page split leaves
// partial copies of cells behind (the next test has them).
TEST_F(ScanEndToEnd, AndroidLogsDbWithVideoCallsAndTextMessages)
{
    constexpr int kCalls = 36;
    std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(kCalls);
    const auto build = [](const std::string& path, const std::vector<fixtures::AndroidCall>& c) {
        fixtures::BuildAndroidDatabase(path, AndroidLayout::VendorLogs, c);
    };
    fixtures::TempDir dir;
    std::filesystem::create_directory(dir.File("voice"));
    build(dir.File("voice/logs.db"), calls);
    LoadLive(dir.File("voice/logs.db"));
    ASSERT_EQ(CallRecordTable.recordCount, kCalls);
    std::vector<Texts> rowTexts;
    for (int i = 0; i < kCalls; ++i) {
        rowTexts.push_back(TextsOf(CallRecordTable.records[i]));
    }

    for (std::size_t i = 0; i < calls.size(); ++i) {
        calls[i].logtype = i % 3 == 0 ? 300 : i % 3 == 1 ? 500 : 100;
    }
    CheckRecovery("logs.db", calls, build, true);
    const std::vector<Texts> appended = Appended();
    const auto back = [&](std::size_t i) {
        return std::binary_search(appended.begin(), appended.end(), rowTexts[i]);
    };
    int deletedMessages = 0;
    int deletedVideoCalls = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const bool deleted = i % 4 == 1;   // as CheckRecovery deletes
        if (calls[i].logtype.integer() == 300) {
            EXPECT_FALSE(back(i)) << "text message " << i;
            deletedMessages += deleted ? 1 : 0;
        } else if (deleted && calls[i].logtype.integer() == 500) {
            EXPECT_TRUE(back(i)) << "video call " << i;
            ++deletedVideoCalls;
        }
    }
    EXPECT_EQ(deletedMessages, 3);
    EXPECT_EQ(deletedVideoCalls, 3);
}

// A leftover copy of a text message keeps its record header, the two-byte logtype
// included, when a later cell writes over its last bytes: in this layout the logtype's,
// right after normalized_number, since the columns after it take no content. Such a
// copy is no call, whatever those bytes now read; deleted video calls beside it come
// back. 40 rows fill several pages, so page splits leave copies of cells too.
TEST_F(ScanEndToEnd, LogsDbMessageCopiesWithOverwrittenLogtypeAreNoCalls)
{
    std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(40);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        calls[i].logtype = i % 2 == 0 ? 300 : 500;
        calls[i].deleted = i % 4 < 2;
    }
    fixtures::TempDir dir;
    const std::string path = dir.File("logs.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::VendorLogs, calls);
    std::string file = fixtures::ReadFileBytes(path);
    const std::string overwrite[] = {std::string("\x2D\x00", 2), "\x7F\xFF", "\x01\x2D"};
    std::set<std::string> messages;
    std::set<std::string> deletedVideoCalls;
    int overwritten = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const std::string& number = calls[i].number.bytes();
        if (calls[i].logtype.integer() == 500) {
            if (calls[i].deleted) {
                deletedVideoCalls.insert(number);
            }
            continue;
        }
        messages.insert(number);
        // Every copy of a deleted message: the remnant of its cell and those a page
        // split left behind.
        const std::string tail = "+86" + number + "\x01\x2C";
        for (std::size_t at = file.find(tail); calls[i].deleted && at != std::string::npos;
             at = file.find(tail, at + 1)) {
            file.replace(at + tail.size() - 2, 2, overwrite[overwritten++ % 3]);
        }
    }
    ASSERT_GE(overwritten, 10);
    fixtures::WriteFileBytes(path, file);

    LoadLive(path);
    ASSERT_EQ(CallRecordTable.recordCount, 10);   // the live video calls
    Recover(path);
    std::set<std::string> appended;
    for (const Texts& t : Appended()) {
        appended.insert(std::get<5>(t));
    }
    for (const std::string& number : messages) {
        EXPECT_EQ(appended.count(number), 0u) << "text message " << number;
    }
    EXPECT_EQ(appended, deletedVideoCalls);
}

// Row ids from 1, as on a new phone: a freed cell whose payload size, row id and header
// size take one byte each gets SQLite's 4-byte freeblock header over its column 0 zero
// byte. Exactly those deleted records are missed; every other deleted one comes back.
TEST_F(ScanEndToEnd, RowidsFromOneMissOnlyRecordsWhoseZeroByteWasOverwritten)
{
    fixtures::TempDir dir;
    fixtures::BuildOptions options;
    options.firstRowid = 1;
    std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(200);
    const std::string wholePath = dir.File("whole-contacts2.db");
    fixtures::BuildAndroidDatabase(wholePath, AndroidLayout::Calls40, calls, options);
    LoadLive(wholePath);
    ASSERT_EQ(CallRecordTable.recordCount, 200);
    const std::string whole = fixtures::ReadFileBytes(wholePath);
    const std::vector<Located> located = LocateRecords(whole, CallLogVariant::AndroidContacts2Db);
    // Where each call's record lies in the file before any deletion (rows come in row
    // id order, that is in the order of `calls`).
    std::vector<Texts> texts;
    std::vector<std::int64_t> positions;
    for (int i = 0; i < 200; ++i) {
        texts.push_back(TextsOf(CallRecordTable.records[i]));
        const auto at = std::find_if(located.begin(), located.end(),
                                     [&](const Located& l) { return l.texts == texts.back(); });
        ASSERT_NE(at, located.end()) << i;
        positions.push_back(at->position);
    }

    for (std::size_t i = 0; i < calls.size(); ++i) {
        calls[i].deleted = i % 4 == 1;
    }
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40, calls, options);
    const std::string file = fixtures::ReadFileBytes(path);
    LoadLive(path);
    Recover(path);
    const std::vector<Texts> appended = Appended();
    int missed = 0;
    int recovered = 0;
    for (std::size_t i = 1; i < calls.size(); i += 4) {
        const bool zeroByteKept = file[static_cast<std::size_t>(positions[i])] == 0;
        const bool back = std::binary_search(appended.begin(), appended.end(), texts[i]);
        EXPECT_EQ(back, zeroByteKept) << "call " << i << " at " << positions[i];
        (back ? recovered : missed) += 1;
    }
    EXPECT_EQ(recovered + missed, 50);
    EXPECT_GT(missed, 0) << "no record lost its zero byte: the case is not reached";
    EXPECT_GT(recovered, 0);
}

// A call whose record is larger than a page keeps its start in the page and the rest on
// overflow pages. Its remnant is overlong (longer than the page size minus 25): it comes
// back with the columns that lie in the page, live or deleted, on every Recover.
TEST_F(ScanEndToEnd, RecordsSpillingOntoOverflowPages)
{
    fixtures::TempDir dir;
    std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(40);
    std::string longName;
    for (int i = 0; i < 400; ++i) {
        longName += u8"张";
    }
    const std::size_t liveSpilled = 6;
    const std::size_t deletedSpilled = 17;
    calls[liveSpilled].name = longName;
    calls[deletedSpilled].name = longName;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        calls[i].deleted = i % 4 == 1;
    }
    ASSERT_TRUE(calls[deletedSpilled].deleted);
    ASSERT_FALSE(calls[liveSpilled].deleted);
    fixtures::BuildOptions options;
    options.pageSize = 1024;
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40, calls, options);
    LoadLive(path);
    std::vector<Texts> live;
    for (int i = 0; i < CallRecordTable.recordCount; ++i) {
        live.push_back(TextsOf(CallRecordTable.records[i]));
    }
    const auto liveTextsOf = [&](std::size_t call) {
        return *std::find_if(live.begin(), live.end(), [&](const Texts& t) {
            return std::get<5>(t) == calls[call].number.bytes();
        });
    };
    const Texts spilledLive = liveTextsOf(liveSpilled);

    // The first Recover brings every deleted call back (some more than once: SQLite
    // leaves copies of cells behind when it splits pages) and the live spilled one; the
    // second only the two spilled records again.
    for (int round = 0; round < 2; ++round) {
        const int before = CallRecordTable.recordCount;
        Recover(path);
        std::set<std::string> numbers;
        bool spilledLiveAsRead = false;
        for (int i = before; i < CallRecordTable.recordCount; ++i) {
            const CallRecord& r = CallRecordTable.records[i];
            numbers.insert(r.number);
            // The columns before the name lie in the page and read as the live row's.
            spilledLiveAsRead = spilledLiveAsRead || (r.number == std::get<5>(spilledLive) &&
                                                      r.callTime == std::get<2>(spilledLive) &&
                                                      r.duration == std::get<3>(spilledLive) &&
                                                      r.callType == std::get<1>(spilledLive));
        }
        EXPECT_TRUE(spilledLiveAsRead) << "Recover " << round + 1;
        const std::set<std::string> spilled = {calls[liveSpilled].number.bytes(),
                                               calls[deletedSpilled].number.bytes()};
        if (round == 0) {
            for (std::size_t i = 1; i < calls.size(); i += 4) {
                EXPECT_EQ(numbers.count(calls[i].number.bytes()), 1u) << "deleted call " << i;
            }
            EXPECT_EQ(numbers.count(calls[liveSpilled].number.bytes()), 1u);
        } else {
            EXPECT_EQ(numbers, spilled);
        }
        modal.ui.messageBoxes.clear();
    }
}

// One read serves both passes of a Recover: a file cut between them (a copy still being
// written, media pulled) recovers what the whole file holds, and a fill pass promised
// more candidates than it finds merges only those it decoded.
TEST_F(ScanEndToEnd, FileCutBetweenThePassesRecoversWhatItHeld)
{
    fixtures::TempDir dir;
    std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(200);
    for (std::size_t i = 1; i < calls.size(); i += 4) {
        calls[i].deleted = true;
    }
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40, calls);
    const std::string whole = fixtures::ReadFileBytes(path);
    const auto boxTexts = [&] {
        std::vector<std::string> texts;
        for (const auto& box : modal.ui.messageBoxes) {
            texts.push_back(box.text);
        }
        modal.ui.messageBoxes.clear();
        return texts;
    };
    LoadLive(path);
    const std::int32_t accepted = Recover(path);
    const std::vector<Texts> expected = Appended();
    const std::vector<std::string> expectedBoxes = boxTexts();
    ASSERT_GE(expected.size(), 40u);

    for (const std::size_t cut : {std::size_t{0}, whole.size() / 2}) {
        fixtures::WriteFileBytes(path, whole);
        LoadLive(path);
        EXPECT_EQ(Recover(path, [&] { std::filesystem::resize_file(path, cut); }), accepted);
        EXPECT_EQ(Appended(), expected) << "cut to " << cut;
        EXPECT_EQ(boxTexts(), expectedBoxes) << "cut to " << cut;
    }

    fixtures::WriteFileBytes(path, whole);
    LoadLive(path);
    const RawFileBytes file(path);
    std::int32_t counter = accepted + 5;
    ScanDeletedRecords(counter, &window, file);
    EXPECT_EQ(counter, accepted);
    EXPECT_EQ(Appended(), expected);
    EXPECT_EQ(boxTexts(), expectedBoxes);
}

// Auto-vacuum files (Android's usual) keep pointer-map pages: page 2, then one every
// usable size / 5 + 1 pages, of five-byte entries (a type from 1 to 5, a big-endian
// page number) that the frame may take for records. Whatever the mode and page size,
// with deleted calls or none, Recover appends what it appends from the same file with
// those pages zeroed.
TEST_F(ScanEndToEnd, PointerMapPagesHoldNoCalls)
{
    int acceptedOnMapPages = 0;   // positions there that the frame takes, in all files
    for (const char* mode : {"FULL", "INCREMENTAL"}) {
        for (std::int64_t pageSize = 512; pageSize <= 65536; pageSize *= 2) {
            for (const bool deletions : {false, true}) {
                SCOPED_TRACE(std::string(mode) + " " + std::to_string(pageSize) +
                             (deletions ? " with deleted calls" : ""));
                // Enough calls for a second pointer-map page with pages of 512 bytes.
                std::vector<fixtures::AndroidCall> calls =
                    fixtures::GeneratedAndroidCalls(pageSize == 512 ? 600 : 120);
                for (std::size_t i = 1; deletions && i < calls.size(); i += 4) {
                    calls[i].deleted = true;
                }
                fixtures::BuildOptions options;
                options.pageSize = static_cast<int>(pageSize);
                options.autoVacuum = mode;
                fixtures::TempDir dir;
                std::filesystem::create_directory(dir.File("zeroed"));
                const std::string path = dir.File("contacts2.db");
                fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls60, calls, options);
                LoadLive(path);
                std::string zeroed = fixtures::ReadFileBytes(path);
                const std::int64_t pages = static_cast<std::int64_t>(zeroed.size()) / pageSize;
                for (std::int64_t map = 2; map <= pages; map += pageSize / 5 + 1) {
                    const std::int64_t start = (map - 1) * pageSize;
                    const char type = zeroed[static_cast<std::size_t>(start)];
                    ASSERT_TRUE(type >= 1 && type <= 5) << "page " << map << " is no pointer map";
                    acceptedOnMapPages += static_cast<int>(
                        LocateRecords(zeroed, CallLogVariant::AndroidContacts2Db, start,
                                      start + pageSize).size());
                    zeroed.replace(static_cast<std::size_t>(start),
                                   static_cast<std::size_t>(pageSize),
                                   static_cast<std::size_t>(pageSize), '\0');
                }
                const std::string zeroedPath = dir.File("zeroed/contacts2.db");
                fixtures::WriteFileBytes(zeroedPath, zeroed);

                Recover(path);
                const std::vector<Texts> appended = Appended();
                const int kept = CallRecordTable.recordCount;
                LoadLive(path);
                modal.ui.messageBoxes.clear();
                Recover(zeroedPath);
                EXPECT_EQ(Appended(), appended);
                EXPECT_EQ(CallRecordTable.recordCount, kept);
                modal.ui.messageBoxes.clear();
            }
        }
    }
    EXPECT_GT(acceptedOnMapPages, 0) << "no pointer-map page looks like a record";
}

// A calls table of another app's making: rows and deleted rows, none of the call
// columns (so that Open's SELECTs fail).
void BuildCallsWithoutCallColumns(const std::string& path)
{
    fixtures::Database db(path);
    db.Exec("CREATE TABLE calls (_id INTEGER PRIMARY KEY, label TEXT, flags INTEGER, "
            "note TEXT)");
    db.Exec("BEGIN");
    const std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(300);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        db.Insert("calls", {"label", "flags", "note"},
                  {calls[i].name, static_cast<int>(i), calls[i].location});
    }
    db.Exec("COMMIT");
    db.Exec("DELETE FROM calls WHERE _id % 3 = 0");
}

// A contacts2.db of Android 7 and later has no calls table, and a table of that name
// may lack the call columns: the open captures no column the decoding reads, and
// Recover then finds nothing and shows nothing (no row of six empty texts), even after
// a file with a calls table.
TEST_F(ScanEndToEnd, Contacts2WithoutCallColumnsRecoversNothing)
{
    const std::function<void(const std::string&)> builds[] = {
        [](const std::string& path) { fixtures::BuildContactsWithoutCalls(path, 120); },
        BuildCallsWithoutCallColumns,
    };
    for (const auto& build : builds) {
        fixtures::TempDir dir;
        const std::string earlier = dir.File("earlier/contacts2.db");
        std::filesystem::create_directory(dir.File("earlier"));
        fixtures::BuildAndroidDatabase(earlier, AndroidLayout::Calls40,
                                       fixtures::GeneratedAndroidCalls(10));
        LoadLive(earlier);
        const std::string path = dir.File("contacts2.db");
        build(path);
        LoadLive(path);
        modal.ui.messageBoxes.clear();
        window.SetWindowText("title before");

        EXPECT_EQ(Recover(path), 0);
        EXPECT_TRUE(modal.ui.messageBoxes.empty());
        EXPECT_EQ(CallRecordTable.recordCount, 0);
        EXPECT_EQ(list.GetItemCount(), 0);
        EXPECT_EQ(window.GetWindowText(), "title before");
    }
    EXPECT_EQ(ColumnSchema.android.count, 4) << "the last table's columns are captured";
}

TEST_F(ScanEndToEnd, IphoneLayouts)
{
    for (fixtures::IphoneLayout layout : {fixtures::IphoneLayout::Ios9,
                                          fixtures::IphoneLayout::Ios10}) {
        CheckRecovery("CallHistory.storedata", fixtures::GeneratedIphoneCalls(90),
                      [layout](const std::string& path,
                               const std::vector<fixtures::IphoneCall>& calls) {
                          fixtures::BuildIphoneDatabase(path, layout, calls);
                      },
                      false);
        modal.ui.messageBoxes.clear();
    }
}

// Numbers are mostly ASCII, but a phone keeps whatever was dialled or saved, in UTF-8:
// the live row shows it in code page 936, as its remnant decodes, so the live call is
// not listed again (CheckRecovery) and a deleted one comes back with its number.
TEST_F(ScanEndToEnd, NumbersBeyondAsciiReadAsTheirRemnants)
{
    const auto numberOf = [](std::size_t i) {
        return i == 0 ? std::string(u8"点我028") : u8"点我" + std::to_string(i);
    };
    const auto liveShows = [](const char* number) {
        const CallRecord* live = CallRecordTable.records;
        return std::any_of(live, live + CallRecordTable.firstRecoveredIndex,
                           [&](const CallRecord& r) { return r.number == number; });
    };
    std::vector<fixtures::AndroidCall> androidCalls = fixtures::GeneratedAndroidCalls(40);
    for (std::size_t i = 0; i < androidCalls.size(); i += 3) {
        androidCalls[i].number = numberOf(i);
    }
    CheckRecovery("contacts2.db", androidCalls,
                  [](const std::string& path, const std::vector<fixtures::AndroidCall>& c) {
                      fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40, c);
                  },
                  true);
    EXPECT_TRUE(liveShows("点我028"));

    std::vector<fixtures::IphoneCall> iphoneCalls = fixtures::GeneratedIphoneCalls(40);
    for (std::size_t i = 0; i < iphoneCalls.size(); i += 3) {
        iphoneCalls[i].address = fixtures::SqlValue::Blob(numberOf(i));
    }
    CheckRecovery("CallHistory.storedata", iphoneCalls,
                  [](const std::string& path, const std::vector<fixtures::IphoneCall>& c) {
                      fixtures::BuildIphoneDatabase(path, fixtures::IphoneLayout::Ios9, c);
                  },
                  false);
    EXPECT_TRUE(liveShows("点我028"));
}

TEST_F(ScanEndToEnd, MissingFileRaisesAndChangesNothing)
{
    fixtures::TempDir dir;
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40,
                                   fixtures::GeneratedAndroidCalls(10));
    LoadLive(path);
    const std::string missing = dir.File("gone/contacts2.db");
    window.SetWindowText("title before");
    try {
        Recover(missing);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.ErrorText(), "无法读取文件 " + missing + "：找不到该文件。");
    }
    EXPECT_EQ(CallRecordTable.recordCount, 10);
    EXPECT_EQ(list.GetItemCount(), 10);
    EXPECT_EQ(window.GetWindowText(), "title before");
    EXPECT_TRUE(modal.ui.messageBoxes.empty());
}

}  // namespace
