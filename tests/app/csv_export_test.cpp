// The CSV writer behind Export: RFC 4180 quoting, the document's byte-order mark and
// line ends, and the all-or-nothing write (no file and no temporary left on failure).
#include "app/csv_export.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        char pattern[] = "/tmp/peldmark-csv-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TemporaryFolder()
    {
        for (const std::string& name : folderEntries(m_path))
            ::unlink((m_path + "/" + name).c_str());
        ::rmdir(m_path.c_str());
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

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
    TemporaryFolder folder;
    const std::string target = folder.path() + "/out.csv";
    EXPECT_EQ(writeFileReplacing(target, "first"), "");
    EXPECT_EQ(readWholeFile(target), "first");
    EXPECT_EQ(writeFileReplacing(target, "second, longer"), "");
    EXPECT_EQ(readWholeFile(target), "second, longer");
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"out.csv"});
}

TEST(ReplacingWrite, ChinesePathReachesFileSystemAsUtf8)
{
    TemporaryFolder folder;
    // The caller's path is code page 936; the file on disk carries the UTF-8 name.
    EXPECT_EQ(writeFileReplacing(folder.path() + "/通话记录.csv", "x"), "");
    EXPECT_EQ(readWholeFile(folder.path() + u8"/通话记录.csv"), "x");
}

TEST(ReplacingWrite, FailureGivesReasonAndLeavesNothing)
{
    TemporaryFolder folder;
    const std::string missingFolder = folder.path() + "/missing/out.csv";
    const std::string underRegularFile = folder.path() + "/plain/out.csv";
    std::ofstream(folder.path() + "/plain") << "a regular file";
    const std::string targetIsFolder = folder.path() + "/adir";
    ::mkdir(targetIsFolder.c_str(), 0755);

    for (const std::string& target : {missingFolder, underRegularFile, targetIsFolder}) {
        EXPECT_NE(writeFileReplacing(target, "data"), "") << target;
        struct stat info;
        EXPECT_TRUE(::stat(target.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) << target;
    }
    std::vector<std::string> left = folderEntries(folder.path());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"adir", "plain"}));
    EXPECT_TRUE(folderEntries(targetIsFolder).empty());
}

}  // namespace
