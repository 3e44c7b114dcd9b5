// The CSV writer behind Export: RFC 4180 quoting, the document's byte-order mark and
// line ends, the all-or-nothing write (no file and no temporary left on failure, with
// the reason), and the test that keeps the write off the open database by any spelling.
#include "app/csv_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tests/support/fixtures.h"

namespace {

using fixtures::FolderEntries;
using fixtures::ReadFileBytes;

TEST(CsvFieldQuoting, QuotesOnlyWhatRfc4180Requires)
{
    const struct { std::string in, out; } cases[] = {
        {"", ""},
        {"13800138000", "13800138000"},
        {u8"李雷", u8"李雷"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"cr\rhere", "\"cr\rhere\""},
        {" leading and trailing ", " leading and trailing "},
        {"semi;colon", "semi;colon"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.in), c.out) << c.in;
}

TEST(CsvDocumentLayout, StartsWithByteOrderMarkAndEndsEveryLineWithCrlf)
{
    const std::string document = csvDocument({{"a", "b,c"}, {"", "d"}, {}});
    EXPECT_EQ(document, "\xEF\xBB\xBF" "a,\"b,c\"\r\n,d\r\n\r\n");
    EXPECT_EQ(csvDocument({}), "\xEF\xBB\xBF");
}

TEST(CsvTextConversion, ConvertsCodePage936)
{
    // The narrow literal is code page 936 at run time; u8"" stays UTF-8.
    EXPECT_EQ(AnsiToUtf8("通话记录"), u8"通话记录");
    EXPECT_EQ(AnsiToUtf8("abc"), "abc");
    EXPECT_EQ(AnsiToUtf8(""), "");
}

TEST(ReplacingWrite, WritesNewFileAndReplacesOldOneLeavingNoTemporary)
{
    fixtures::TempDir folder;
    const std::string target = folder.Path() + "/out.csv";
    EXPECT_EQ(writeFileReplacing(target, "first"), "");
    EXPECT_EQ(ReadFileBytes(target), "first");
    EXPECT_EQ(writeFileReplacing(target, "second, longer"), "");
    EXPECT_EQ(ReadFileBytes(target), "second, longer");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.csv"});
}

// The temporary file's name must be valid wherever the target's is: a target name near
// the file system's limit of 255 bytes is written all the same.
TEST(ReplacingWrite, TargetNameNearTheLengthLimitIsWritten)
{
    fixtures::TempDir folder;
    const std::string name = std::string(251, 'a') + ".csv";
    EXPECT_EQ(writeFileReplacing(folder.Path() + "/" + name, "x"), "");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{name});
}

TEST(ReplacingWrite, ChinesePathReachesFileSystemAsUtf8)
{
    fixtures::TempDir folder;
    // The caller's path is code page 936; the file on disk carries the UTF-8 name.
    EXPECT_EQ(writeFileReplacing(folder.Path() + "/通话记录.csv", "x"), "");
    EXPECT_EQ(ReadFileBytes(folder.Path() + u8"/通话记录.csv"), "x");
}

TEST(ReplacingWrite, FailureGivesReasonAndLeavesNothing)
{
    fixtures::TempDir folder;
    fixtures::WriteFileBytes(folder.Path() + "/plain", "a regular file");
    const std::string targetIsFolder = folder.Path() + "/adir";
    std::filesystem::create_directory(targetIsFolder);

    const struct { std::string target, reason; } cases[] = {
        {folder.Path() + "/missing/out.csv", "文件操作失败：找不到该文件。"},
        {folder.Path() + "/plain/out.csv", "文件操作失败：路径无效。"},
        {targetIsFolder, "文件操作失败：这是一个文件夹，不是文件。"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(writeFileReplacing(c.target, "data"), c.reason) << c.target;
        EXPECT_TRUE(!fixtures::FileExists(c.target) || std::filesystem::is_directory(c.target))
            << c.target;
    }
    EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"adir", "plain"}));
    EXPECT_TRUE(FolderEntries(targetIsFolder).empty());
}

// The open database sits in a folder with its -wal (no -journal, no -shm). Every way of
// naming it or a companion, existing or not, is caught; names beside them are not.
TEST(ExportTargetGuard, CatchesTheOpenDatabaseAndItsCompanionsByAnySpelling)
{
    namespace fs = std::filesystem;
    fixtures::TempDir root;
    const std::string evidence = root.Path() + u8"/证据";   // on disk: UTF-8
    const std::string other = root.Path() + "/other";
    fs::create_directory(evidence);
    fs::create_directory(other);
    fixtures::WriteFileBytes(evidence + "/contacts2.db", "database");
    fixtures::WriteFileBytes(evidence + "/contacts2.db-wal", "wal");
    fs::create_symlink(evidence + "/contacts2.db", other + "/link.csv");
    fs::create_symlink(evidence + "/contacts2.db-journal", other + "/dangling.csv");
    fs::create_symlink("link.csv", other + "/link-to-link.csv");
    fs::create_symlink(evidence, other + "/evidence-folder");
    fs::create_hard_link(evidence + "/contacts2.db", other + "/hard.csv");

    // The program's paths are code page 936.
    const std::string ev = root.Path() + "/证据";
    const std::string open = ev + "/contacts2.db";
    const struct { std::string target; bool refused; } cases[] = {
        {open, true},
        {ev + "/./contacts2.db", true},
        {other + "/../证据/contacts2.db", true},
        {ev + "/contacts2.db-wal", true},
        {ev + "/contacts2.db-journal", true},          // does not exist yet
        {ev + "/contacts2.db-shm", true},
        {ev + "/Contacts2.DB-SHM", true},              // a FAT stick takes it as -shm
        {other + "/link.csv", true},                   // a link to the database
        {other + "/link-to-link.csv", true},
        {other + "/dangling.csv", true},               // a link to a -journal to be
        {other + "/evidence-folder/contacts2.db-wal", true},
        {other + "/evidence-folder/contacts2.db-shm", true},
        {other + "/hard.csv", true},                   // the same file under another name
        {ev + "/contacts2.db.csv", false},
        {ev + "/contacts2.db-walx", false},
        {ev + "/通话记录.csv", false},
        {other + "/contacts2.db", false},
        {other + "/contacts2.db-wal", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isOpenDatabaseOrCompanion(c.target, open), c.refused) << c.target;

    // The open path may itself be a link: its target's companions count too.
    const std::string openedThroughLink = other + "/link.csv";
    EXPECT_TRUE(isOpenDatabaseOrCompanion(ev + "/contacts2.db-journal", openedThroughLink));
    EXPECT_TRUE(isOpenDatabaseOrCompanion(other + "/link.csv-wal", openedThroughLink));
    EXPECT_FALSE(isOpenDatabaseOrCompanion(open, ""));   // no file open
}

}  // namespace
