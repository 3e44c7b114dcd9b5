// CFile as the raw read uses it (Open for reading, GetLength, Read, Close) and the
// CException texts: failures name the file and the reason in Chinese.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/support/hang_guard.h"
#include "tests/support/unprivileged.h"

namespace {

constexpr UINT kRawReadFlags = CFile::modeRead;

class CFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = ::testing::TempDir() + "cfile_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Writes bytes to a file named by its file-system (UTF-8) name; returns that name.
    std::string writeFile(const std::string& utf8Name, const std::string& bytes)
    {
        const std::string path = m_dir + "/" + utf8Name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
        return path;
    }

    std::string m_dir;   // ASCII, so it is the same in code page 936 and UTF-8
};

// The failure that the scanner sees: GetLength right after an Open it did not check.
CFileException lengthFailure(CFile& file)
{
    try {
        file.GetLength();
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "GetLength did not raise";
    return CFileException();
}

TEST_F(CFileTest, MissingFileFailsAndTheLengthRequestNamesIt)
{
    const std::string path = m_dir + "/contacts2.db";
    CFile file;
    CFileException openError;
    EXPECT_FALSE(file.Open(path.c_str(), kRawReadFlags, &openError));
    EXPECT_EQ(openError.m_cause, CFileException::fileNotFound);
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << "a read open must not create the file";

    const CFileException e = lengthFailure(file);
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e.m_strFileName, path);
    EXPECT_EQ(e.ErrorText(), "无法读取文件 " + path + "：找不到该文件。");
    char buffer[4];
    EXPECT_THROW(file.Read(buffer, sizeof buffer), CFileException);
}

// Only a regular file opens, and a FIFO without a writer is refused at once rather than
// waited on; the error names the file and says what it is.
TEST_F(CFileTest, WhatIsNotARegularFileIsRefusedAtOnce)
{
    const std::string fifo = m_dir + "/contacts2.db";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string notRegular = "这不是普通文件（可能是管道、设备或套接字）。";
    const struct { std::string path; const char* reason; } cases[] = {
        {m_dir, "这是一个文件夹，不是文件。"},
        {fifo, notRegular.c_str()},
        {"/dev/null", notRegular.c_str()},
    };
    const fixtures::HangGuard guard;
    for (const auto& c : cases) {
        CFile file;
        EXPECT_FALSE(file.Open(c.path.c_str(), kRawReadFlags)) << c.path;
        const CFileException e = lengthFailure(file);
        EXPECT_EQ(e.m_cause, CFileException::accessDenied) << c.path;
        EXPECT_EQ(e.ErrorText(), "无法读取文件 " + c.path + "：" + c.reason);
    }
}

// A file of another user: read as its mode allows, though the kernel refuses that user
// the open that keeps the access time (O_NOATIME); refused when its mode says so.
TEST_F(CFileTest, FileOfAnotherUserIsReadOrRefusedByItsMode)
{
    const std::string readable = writeFile("logs.db", "xyz");
    const std::string path = writeFile("call.db", "x");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    ASSERT_EQ(chmod(m_dir.c_str(), 0755), 0);
    EXPECT_TRUE(fixtures::RunUnprivileged([&readable] {
        CFile file;
        char buffer[4] = {};
        return file.Open(readable.c_str(), kRawReadFlags) && file.GetLength() == 3 &&
               file.Read(buffer, sizeof buffer) == 3 && std::string(buffer) == "xyz";
    }));
    EXPECT_TRUE(fixtures::RunUnprivileged([&path] {
        CFile file;
        return !file.Open(path.c_str(), kRawReadFlags) &&
               lengthFailure(file).m_cause == CFileException::accessDenied;
    }));
}

TEST_F(CFileTest, ReadsAWholeFileByItsCodePage936Name)
{
    std::string content(100000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    writeFile(u8"通话记录.db", content);

    CFile file;
    const std::string ansiPath = m_dir + "/通话记录.db";   // code page 936 bytes
    ASSERT_TRUE(file.Open(ansiPath.c_str(), kRawReadFlags));
    ASSERT_EQ(file.GetLength(), content.size());
    std::vector<char> buffer(content.size() + 16, '\x5A');
    EXPECT_EQ(file.Read(buffer.data(), static_cast<UINT>(buffer.size())), content.size());
    EXPECT_EQ(std::string(buffer.data(), content.size()), content);
    EXPECT_EQ(file.Read(buffer.data(), 1), 0u) << "at the end of the file";
    file.Close();
    file.Close();   // a second close does nothing
    EXPECT_EQ(lengthFailure(file).m_cause, CFileException::invalidFile);
}

TEST(CFileClosed, NeverOpenedRaisesInvalidFile)
{
    CFile file;
    const CFileException e = lengthFailure(file);
    EXPECT_EQ(e.m_cause, CFileException::invalidFile);
    EXPECT_EQ(e.ErrorText(), "文件操作失败：文件没有打开。");
}

}  // namespace
