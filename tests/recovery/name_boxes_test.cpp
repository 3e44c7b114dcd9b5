// The way out of the name boxes: Cancel (or Escape, or the close box) on one name box
// ends them for the rest of that Recover, and the scan, the merge, the result box and
// the title go on as when every box is answered. Through the test seam and once through
// the real Qt box, on a generated file of 100,000 candidates.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include <array>
#include <string>
#include <vector>

#include "tests/support/scripted_modal_ui.h"
#include "platform/ui/peer.h"
#include "platform/ui/wnd.h"
#include "recovery/raw_file.h"
#include "recovery/scanner.h"
#include "tests/recovery/recovery_test_support.h"
#include "tests/support/fixtures.h"

namespace {

constexpr int kCandidates = 100000;
constexpr std::int64_t kPageSize = 4096;
constexpr std::int64_t kRecordEvery = 32;
// Records a page: the last starts at offset 4032, below the last whole page's limit.
constexpr std::int64_t kRecordsPerPage = (kPageSize - 32) / kRecordEvery;

const std::vector<recovery_test::Column> kColumns = {
    {"_id", "INTEGER"}, {"number", "TEXT"},    {"date", "INTEGER"},
    {"duration", "INTEGER"}, {"type", "INTEGER"}, {"name", "TEXT"}};

// Record i: number 1380000000 + i (10 digits), a date i seconds after 2020-01-01 UTC,
// 300 s, outgoing, and one of two names; 31 bytes from its zero byte on.
std::string Record(int i)
{
    static const char* const kNames[] = {u8"李雷", u8"韩梅"};
    const std::string number = std::to_string(1380000000LL + i);
    const std::int64_t date = 1577836800000LL + 1000LL * i;
    std::string bytes = {0x00, 0x21, 0x05, 0x02, 0x01, 0x19};
    bytes += number;
    for (int shift = 40; shift >= 0; shift -= 8) {
        bytes += static_cast<char>((date >> shift) & 0xFF);
    }
    bytes += {0x01, 0x2C, 0x02};
    return bytes + kNames[i % 2];
}

// A contacts2.db-named file of 4 KB pages: page 0 holds only the header's page size and
// a largest root page of 0 (no pointer-map pages), the others a record every 32 bytes
// until there are kCandidates.
std::string GeneratedFile()
{
    const std::int64_t pages = 1 + (kCandidates + kRecordsPerPage - 1) / kRecordsPerPage;
    std::string file(static_cast<std::size_t>(pages * kPageSize), '\x01');
    file[16] = static_cast<char>(kPageSize >> 8);
    file[17] = 0;
    file.replace(52, 4, 4, '\0');
    for (int i = 0; i < kCandidates; ++i) {
        const std::int64_t at =
            kPageSize * (1 + i / kRecordsPerPage) + kRecordEvery * (i % kRecordsPerPage);
        const std::string record = Record(i);
        file.replace(static_cast<std::size_t>(at), record.size(), record);
    }
    return file;
}

struct Outcome
{
    std::vector<std::array<std::string, 6>> rows;
    std::vector<std::array<std::string, 6>> table;
    std::string title;
    bool operator==(const Outcome& other) const
    {
        return rows == other.rows && table == other.table && title == other.title;
    }
};

// Both passes as the Recover command runs them on `path`, with a window-less main window
// and an empty table, then what the user sees.
Outcome Recover(const std::string& path)
{
    recovery_test::MainWindowWithList main;
    CallRecordTable.Reset();
    const RawFileBytes file(path);
    std::int32_t counter = 0;
    ScanDeletedRecords(counter, &main.window, file);
    EXPECT_EQ(counter, kCandidates);
    ScanDeletedRecords(counter, &main.window, file);
    Outcome outcome;
    for (int item = 0; item < main.list.GetItemCount(); ++item) {
        std::array<std::string, 6> row;
        for (int column = 0; column < 6; ++column) {
            row[static_cast<std::size_t>(column)] = main.list.GetItemText(item, column);
        }
        outcome.rows.push_back(row);
    }
    for (int i = 0; i < CallRecordTable.recordCount; ++i) {
        const CallRecord& r = CallRecordTable.records[i];
        outcome.table.push_back({r.name, r.callType, r.callTime, r.duration, r.location, r.number});
    }
    outcome.title = main.window.GetWindowText();
    CallRecordTable.Reset();
    return outcome;
}

class NameBoxes : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new fixtures::TempDir;
        fixtures::WriteFileBytes(Path(), GeneratedFile());
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string Path() { return s_dir->File("contacts2.db"); }

    void SetUp() override
    {
        m_saved = ColumnSchema.android;
        recovery_test::SetSchema(ColumnSchema.android, kColumns);
    }
    void TearDown() override { ColumnSchema.android = m_saved; }

    // What a Recover shows when every box is answered with OK (once for the suite).
    static const Outcome& AllAnswered()
    {
        static const Outcome outcome = [] {
            ScopedModalUi modal;
            Outcome answered = Recover(Path());
            EXPECT_EQ(modal.ui.messageBoxes.size(), static_cast<std::size_t>(kCandidates) + 1);
            return answered;
        }();
        return outcome;
    }

private:
    static fixtures::TempDir* s_dir;
    ColumnSchemaFamily m_saved;
};

fixtures::TempDir* NameBoxes::s_dir = nullptr;

TEST_F(NameBoxes, CancelThroughTheSeamEndsTheBoxesAndChangesNothingElse)
{
    const Outcome& answered = AllAnswered();
    ASSERT_EQ(answered.rows.size(), static_cast<std::size_t>(kCandidates));
    ScopedModalUi modal;
    modal.ui.answerMessageBox = [](const ScriptedModalUi::MessageBoxCall& box) {
        return box.type == MB_OKCANCEL ? IDCANCEL : IDOK;
    };
    const Outcome cancelled = Recover(Path());
    ASSERT_EQ(modal.ui.messageBoxes.size(), 2u);
    EXPECT_EQ(modal.ui.messageBoxes[0].text, "李雷");
    EXPECT_EQ(modal.ui.messageBoxes[0].type, MB_OKCANCEL);
    EXPECT_EQ(modal.ui.messageBoxes[1].text,
              "扫描恢复完成！共成功恢复:100000条通话记录，软件非百分之百恢复，红色信息是恢复的内容。");
    EXPECT_TRUE(cancelled == answered);
}

// The real box on the offscreen platform: a timer presses Escape on each box that comes
// up, which cancels the name box and closes the result box. Should a third box come,
// the rest are answered by the seam, so that the failure does not take 100,000 boxes.
TEST_F(NameBoxes, EscapeOnTheRealBoxFinishesTheCommand)
{
    const Outcome& answered = AllAnswered();
    EnsureQtApplication();
    std::vector<std::pair<std::string, QMessageBox::StandardButtons>> seen;
    ScriptedModalUi rest;
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        // Boxes may reuse one address: a box already pressed is told by a property.
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box->property("pressed").toBool()) {
            return;
        }
        box->setProperty("pressed", true);
        seen.emplace_back(box->text().toStdString(), box->standardButtons());
        if (seen.size() > 2) {
            SetModalUi(&rest);
        }
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
    });
    presser.start(10);
    const Outcome escaped = Recover(Path());
    presser.stop();
    SetModalUi(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, u8"李雷");
    EXPECT_EQ(seen[0].second, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(seen[1].second, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(escaped == answered);
}

}  // namespace
