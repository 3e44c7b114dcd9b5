// The CSV writer behind Export: RFC 4180 quoting, the document's byte-order mark and
// line ends, and the all-or-nothing write (no file and no temporary left on failure).
#include "app/csv_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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
    EXPECT_EQ(ansiToUtf8String("通话记录"), u8"通话记录");
    EXPECT_EQ(ansiToUtf8String("abc"), "abc");
    EXPECT_EQ(ansiToUtf8String(""), "");
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
    const std::string missingFolder = folder.Path() + "/missing/out.csv";
    const std::string underRegularFile = folder.Path() + "/plain/out.csv";
    fixtures::WriteFileBytes(folder.Path() + "/plain", "a regular file");
    const std::string targetIsFolder = folder.Path() + "/adir";
    std::filesystem::create_directory(targetIsFolder);

    for (const std::string& target : {missingFolder, underRegularFile, targetIsFolder}) {
        EXPECT_NE(writeFileReplacing(target, "data"), "") << target;
        EXPECT_TRUE(!fixtures::FileExists(target) || std::filesystem::is_directory(target))
            << target;
    }
    EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"adir", "plain"}));
    EXPECT_TRUE(FolderEntries(targetIsFolder).empty());
}

}  // namespace
