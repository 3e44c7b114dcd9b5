// Open and Recover on evidence as it comes off a phone, through the menu: a WAL file
// whose last calls live in the -wal, a hot journal left by a transaction cut short, a
// FIFO with a call-log name, a path of 600 bytes, and a private copy that cannot be
// made. The evidence folder is the same, file for file and byte for byte, afterwards.
#include "main_window_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QByteArray>

#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <tuple>

#include "app/resource_ids.h"
#include "reader/call_record.h"
#include "recovery/column_schema.h"
#include "tests/support/fixtures.h"
#include "tests/support/hang_guard.h"
#include "tests/support/scoped_tmpdir.h"

namespace {

using fixtures::AndroidCall;
using fixtures::AndroidLayout;

constexpr long long kNewYear2020Ms = 1577836800000LL;
constexpr long long kHourMs = 3600000LL;

// Five outgoing calls, the second and fourth deleted (their remnants stay in the file).
std::vector<AndroidCall> callsWithTwoDeleted()
{
    std::vector<AndroidCall> calls;
    for (int i = 0; i < 5; ++i)
        calls.push_back({"1380000000" + std::to_string(i), kNewYear2020Ms + i * kHourMs, 5 + i, 2,
                         u8"联系人" + std::to_string(i), u8"北京"});
    calls[1].deleted = true;
    calls[3].deleted = true;
    return calls;
}

// One file of a folder as far as this program could change it.
struct FileState
{
    std::string name;
    std::uintmax_t bytes;
    mode_t mode;
    std::int64_t mtimeSeconds;
    std::int64_t mtimeNanoseconds;
    std::string sha256;

    bool operator==(const FileState& o) const
    {
        return std::tie(name, bytes, mode, mtimeSeconds, mtimeNanoseconds, sha256) ==
               std::tie(o.name, o.bytes, o.mode, o.mtimeSeconds, o.mtimeNanoseconds, o.sha256);
    }
};

std::ostream& operator<<(std::ostream& out, const FileState& f)
{
    return out << f.name << " " << f.bytes << " bytes, mode " << std::oct << f.mode << std::dec
               << ", mtime " << f.mtimeSeconds << "." << f.mtimeNanoseconds << ", " << f.sha256;
}

// Every entry of `folder`, by name: size, mode, modification time and SHA-256.
std::vector<FileState> FolderState(const std::string& folder)
{
    std::vector<FileState> files;
    for (const std::string& name : fixtures::FolderEntries(folder)) {
        const std::string path = folder + "/" + name;
        struct stat info {};
        EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
        std::string sha256;
        if (S_ISREG(info.st_mode)) {
            const std::string bytes = fixtures::ReadFileBytes(path);
            sha256 = QCryptographicHash::hash(QByteArray(bytes.data(), static_cast<int>(bytes.size())),
                                              QCryptographicHash::Sha256).toHex().toStdString();
        }
        files.push_back({name, static_cast<std::uintmax_t>(info.st_size), info.st_mode,
                         info.st_mtim.tv_sec, info.st_mtim.tv_nsec, sha256});
    }
    return files;
}

class OpenEvidenceTest : public MainWindowTest
{
protected:
    OpenEvidenceTest() : m_evidence(m_folder.File("evidence")), m_tmp(m_folder.File("tmp"))
    {
        std::filesystem::create_directory(m_evidence);
        std::filesystem::create_directory(m_tmp);
    }
    // Opens, then recovers; returns every row of the list afterwards.
    std::vector<std::vector<std::string>> openAndRecover(const std::string& path)
    {
        openThroughMenu(path);
        command(ID_RECOVER_DELETED);
        std::vector<std::vector<std::string>> rows;
        for (int i = 0; i < rowCount(); ++i)
            rows.push_back(row(i));
        return rows;
    }
    // A contacts2.db in WAL mode whose last call lives only in its -wal; returns its path.
    std::string walEvidence()
    {
        const std::string path = m_evidence + "/contacts2.db";
        fixtures::BuildOptions options;
        options.wal = true;
        options.rowsOnlyInWal = 1;
        fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40, callsWithTwoDeleted(), options);
        return path;
    }
    // Numbers of the rows drawn red, those Recover appended.
    std::set<std::string> recoveredNumbers()
    {
        std::set<std::string> numbers;
        for (int i = CallRecordTable.firstRecoveredIndex; i < rowCount(); ++i)
            numbers.insert(row(i)[5]);
        return numbers;
    }

    // Private copies go to m_tmp, and must go again. Set once the window exists, so
    // that what Qt keeps in the temporary folder from its start is not counted.
    void SetUp() override
    {
        MainWindowTest::SetUp();
        m_tmpdir.emplace(m_tmp);
    }
    void TearDown() override
    {
        m_tmpdir.reset();
        MainWindowTest::TearDown();
    }

    fixtures::TempDir m_folder;
    std::string m_evidence;
    std::string m_tmp;
    std::optional<fixtures::ScopedTmpdir> m_tmpdir;
};

// A WAL database as phones keep it, no -shm beside it: Open lists every call, the -wal's
// included, Recover finds the deleted ones, and neither leaves a trace on the evidence.
TEST_F(OpenEvidenceTest, WalEvidenceListedInFullAndLeftAsItWas)
{
    const std::string path = walEvidence();
    const std::vector<FileState> before = FolderState(m_evidence);
    ASSERT_EQ(before.size(), 2u);   // the database and its -wal

    openThroughMenu(path);
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
    ASSERT_EQ(rowCount(), 3);
    EXPECT_EQ(row(0)[5], "13800000004");   // the call kept in the -wal only
    EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty());
    command(ID_RECOVER_DELETED);
    EXPECT_EQ(recoveredNumbers(), (std::set<std::string>{"13800000001", "13800000003"}));

    EXPECT_EQ(FolderState(m_evidence), before);
    EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty());
}

// A phone that stopped in the middle of a transaction leaves changed pages in the
// database and the pages as they were in its -journal. Here the transaction rewrote
// every call's number: the list shows the calls as they stood before it, and Recover
// reds what the transaction left in the raw file, never a live call again.
TEST_F(OpenEvidenceTest, HotJournalIsRolledBackAsThePhoneWouldSeeIt)
{
    constexpr int kCalls = 150;
    const std::string path = m_evidence + "/contacts2.db";
    const std::vector<AndroidCall> calls = fixtures::GeneratedAndroidCalls(kCalls);
    std::set<std::string> numbers;
    for (const AndroidCall& call : calls)
        numbers.insert(call.number.bytes());
    const std::string original = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(original, AndroidLayout::Calls40, calls);
    fixtures::CopyInsideUnfinishedUpdate(original, path);
    ASSERT_NE(fixtures::ReadFileBytes(path).find("139" + *numbers.begin()), std::string::npos)
        << "the transaction's pages must have reached the database file";
    const std::vector<FileState> before = FolderState(m_evidence);

    openThroughMenu(path);
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
    std::set<std::string> listed;
    std::set<std::vector<std::string>> live;   // call time, location, number
    for (int i = 0; i < rowCount(); ++i) {
        const std::vector<std::string> texts = row(i);
        listed.insert(texts[5]);
        live.insert({texts[2], texts[4], texts[5]});
    }
    EXPECT_EQ(listed, numbers);
    ASSERT_EQ(rowCount(), kCalls);
    command(ID_RECOVER_DELETED);
    bool transactionRemnant = false;
    for (int i = kCalls; i < rowCount(); ++i) {
        const std::vector<std::string> texts = row(i);
        EXPECT_EQ(live.count({texts[2], texts[4], texts[5]}), 0u) << texts[5] << " is a live call";
        transactionRemnant |= numbers.count(texts[5].substr(3)) == 1;
    }
    EXPECT_TRUE(transactionRemnant);

    EXPECT_EQ(FolderState(m_evidence), before);
    EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty());
}

// A FIFO with a call-log name: Open and Recover refuse it at once, each with a message
// that names it; the Android columns of the file opened before are gone.
TEST_F(OpenEvidenceTest, FifoIsRefusedAtOnceByOpenAndRecover)
{
    const std::string database = m_evidence + "/logs.db";
    fixtures::BuildAndroidDatabase(database, AndroidLayout::VendorLogs, callsWithTwoDeleted());
    openThroughMenu(database);
    ASSERT_GT(ColumnSchema.android.count, 0);
    const std::string fifo = m_evidence + "/contacts2.db";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string refusal = "无法读取文件 " + fifo + "：这不是普通文件（可能是管道、设备或套接字）。";

    const fixtures::HangGuard guard;
    openThroughMenu(fifo);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{refusal});
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(OpenFilePath, fifo);
    EXPECT_EQ(ColumnSchema.android.count, 0);
    m_modal.ui.messageBoxes.clear();
    command(ID_RECOVER_DELETED);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{refusal});
    EXPECT_EQ(m_modal.ui.messageBoxes[0].owner, m_dialog.get());
    EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty());
}

// Past SQLite's limit of 512 bytes a path used to fail without a word; now it reads
// and recovers as the same file does at a short path.
TEST_F(OpenEvidenceTest, LongPathReadsLikeAnyOther)
{
    const std::string shortPath = m_evidence + "/contacts2.db";
    fixtures::BuildAndroidDatabase(shortPath, AndroidLayout::Calls40, callsWithTwoDeleted());
    const std::string longFolder = m_evidence + "/" + std::string(200, 'a') + "/" +
                                   std::string(200, 'b') + "/" + std::string(200, 'c');
    std::filesystem::create_directories(longFolder);
    const std::string longPath = longFolder + "/contacts2.db";
    ASSERT_GE(longPath.size(), 600u);
    std::filesystem::copy_file(shortPath, longPath);

    const auto atShortPath = openAndRecover(shortPath);
    ASSERT_EQ(CallRecordTable.firstRecoveredIndex, 3);
    ASSERT_GT(atShortPath.size(), 3u);
    m_modal.ui.messageBoxes.clear();
    EXPECT_EQ(openAndRecover(longPath), atShortPath);
    EXPECT_EQ(OpenFilePath, longPath);
}

// While it lives, this process may write no file beyond `bytes`: a copy runs out of
// room as on a full disk (write fails with EFBIG; SIGXFSZ is ignored meanwhile).
class ScopedFileSizeLimit
{
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    sighandler_t m_oldHandler;
};

// A copy that runs out of room: one message naming the file, the temporary folder and
// the reason; the list emptied, the path kept, the Android columns gone, the iPhone ones
// kept; nothing left in the temporary folder.
TEST_F(OpenEvidenceTest, CopyWithoutRoomSaysSoAndLeavesNothing)
{
    const std::string small = m_evidence + "/logs.db";
    const std::string large = m_evidence + "/contacts2.db";
    fixtures::BuildAndroidDatabase(small, AndroidLayout::VendorLogs, callsWithTwoDeleted());
    fixtures::BuildAndroidDatabase(large, AndroidLayout::Calls40, fixtures::GeneratedAndroidCalls(300));
    openThroughMenu(small);
    ASSERT_EQ(rowCount(), 3);
    ColumnSchema.iphone.count = 18;   // as an iPhone store opened earlier left it
    const std::vector<FileState> before = FolderState(m_evidence);
    {
        const ScopedFileSizeLimit limit(16384);
        openThroughMenu(large);
    }
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"无法在临时文件夹 " + m_tmp +
                                                       " 中复制文件 " + large + "：磁盘已满。"});
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(statusLine(), "");
    EXPECT_EQ(OpenFilePath, large);
    EXPECT_EQ(ColumnSchema.android.count, 0);
    EXPECT_EQ(ColumnSchema.iphone.count, 18);
    EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty());
    EXPECT_EQ(FolderState(m_evidence), before);
}

// The access time of every evidence file, in whole seconds.
std::vector<std::int64_t> AccessTimes(const std::vector<std::string>& paths)
{
    std::vector<std::int64_t> times;
    for (const std::string& path : paths) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
        times.push_back(info.st_atim.tv_sec);
    }
    return times;
}

// Reading the evidence leaves its access time as it was: on a relatime mount a read of
// a file whose access time is older than its modification time would set it.
TEST_F(OpenEvidenceTest, AccessTimeOfTheEvidenceKeptByOpenRecoverAndExport)
{
    const std::string path = walEvidence();
    const std::vector<std::string> files{path, path + "-wal"};
    const struct timespec times[2] = {{kNewYear2020Ms / 1000, 0}, {0, UTIME_OMIT}};
    for (const std::string& file : files)
        ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
    const std::vector<std::int64_t> before = AccessTimes(files);

    openAndRecover(path);
    ASSERT_EQ(rowCount(), 5);
    m_modal.ui.fileDialogAnswers.push_back(m_folder.File("calls.csv"));
    command(ID_EXPORT_RECORDS);
    ASSERT_FALSE(messageTexts().empty());
    EXPECT_EQ(messageTexts().back(), "导出完成，共导出5条通话记录。");

    EXPECT_EQ(AccessTimes(files), before);
}

}  // namespace
