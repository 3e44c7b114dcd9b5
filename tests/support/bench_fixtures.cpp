// The benchmarks' files (see bench_fixtures.h).
#include "tests/support/bench_fixtures.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "tests/support/fixtures.h"

namespace fixtures {

namespace {

// Contacts and their detail rows: a name, a number, an e-mail address and a note each.
constexpr int kContacts = 15500;
constexpr int kDeletedEvery = 3;
const char* const kSurnames[] = {u8"张", u8"王", u8"李", u8"刘", u8"陈", u8"杨", u8"赵", u8"黄"};
const char* const kGivenNames[] = {u8"伟", u8"芳", u8"娜", u8"洋", u8"静", u8"磊", u8"敏", u8"勇",
                                   u8"秀英", u8"建国"};
const char* const kNote = u8"同事，项目联系人；周一至周五 9:00-18:00 可联系，紧急情况请发短信。";
// The data table's mimetype ids, as the mimetypes table of a phone numbers them.
enum Mimetype { kName = 1, kPhone = 5, kEmail = 7, kNoteType = 9 };

void AddContacts(Database& db)
{
    db.Exec("CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT, package_id INTEGER, "
            "mimetype_id INTEGER NOT NULL, raw_contact_id INTEGER NOT NULL, "
            "is_primary INTEGER NOT NULL DEFAULT 0, data_version INTEGER NOT NULL DEFAULT 0, "
            "data1 TEXT, data2 TEXT, data3 TEXT, data4 TEXT)");
    const std::vector<std::string> columns = {"mimetype_id", "raw_contact_id", "data1", "data2",
                                              "data3", "data4"};
    constexpr int kSurnameCount = sizeof kSurnames / sizeof kSurnames[0];
    constexpr int kGivenCount = sizeof kGivenNames / sizeof kGivenNames[0];
    constexpr long long kFirstNumber = 13900000000LL;
    constexpr long long kNumberStep = 104729;
    db.Exec("BEGIN");
    for (int c = 0; c < kContacts; ++c) {
        const std::string surname = kSurnames[c % kSurnameCount];
        const std::string given = kGivenNames[(c / kSurnameCount) % kGivenCount];
        const std::string number = std::to_string(kFirstNumber + kNumberStep * c);
        db.Insert("data", columns, {kName, c, surname + given, given, surname, SqlValue()});
        db.Insert("data", columns, {kPhone, c, number, 2, SqlValue(), u8"+86" + number});
        db.Insert("data", columns, {kEmail, c, "user" + std::to_string(c) + "@example.com", 1,
                                    SqlValue(), SqlValue()});
        db.Insert("data", columns, {kNoteType, c, kNote, SqlValue(), SqlValue(), SqlValue()});
    }
    db.Exec("COMMIT");
}

}  // namespace

void BuildPhoneSizedContacts2(const std::string& utf8Path)
{
    std::vector<AndroidCall> calls = GeneratedAndroidCalls(kPhoneSizedCalls);
    for (std::size_t i = 1; i < calls.size(); i += kDeletedEvery) {
        calls[i].deleted = true;
    }
    BuildAndroidDatabase(utf8Path, AndroidLayout::Calls60, calls);
    // A table created after the deletions takes new pages: the calls' remnants stay.
    Database db(utf8Path);
    AddContacts(db);
    db.Close();
}

void AppendZeros(const std::string& utf8Path, std::int64_t zeroBytes)
{
    std::ofstream out(utf8Path, std::ios::binary | std::ios::app);
    const std::vector<char> zeros(std::size_t{1} << 20, 0);
    for (std::int64_t left = zeroBytes; left > 0 && out;) {
        const std::int64_t piece =
            std::min<std::int64_t>(left, static_cast<std::int64_t>(zeros.size()));
        out.write(zeros.data(), static_cast<std::streamsize>(piece));
        left -= piece;
    }
    if (!out) {
        throw std::runtime_error("cannot append to " + utf8Path);
    }
}

}  // namespace fixtures
