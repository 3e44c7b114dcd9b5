// The Export command: the list as it is shown, in list order, into a CSV file the user
// names. The database is never touched: a target that is the open database or a file
// SQLite keeps beside it is refused. The file is written whole or not at all.
#include "app/peldmark_dlg.h"

#include <string>
#include <vector>

#include "app/csv_export.h"
#include "platform/codepage.h"
#include "reader/call_record.h"

namespace {

const char* const kExportNeedsFile = "您需要先打开通话记录数据库文件后才可以执行导出操作。";
const char* const kExportFilter = "CSV 文件 (*.csv)|*.csv||";
const char* const kProposedName = "通话记录.csv";
const char* const kDefaultExtension = "csv";
const char* const kRecoveredColumnTitle = "已恢复";
const char* const kRecoveredMark = "是";
const char* const kTargetIsEvidence =
    "这是打开的数据库文件或它旁边的 -wal、-journal、-shm 文件，导出不会写入这些文件。"
    "请另选文件名。";

using CsvLines = std::vector<std::vector<std::string>>;

std::vector<std::string> headerLine()
{
    std::vector<std::string> header;
    for (const CallListColumn& column : kCallListColumns)
        header.push_back(AnsiToUtf8(column.title));
    header.push_back(AnsiToUtf8(kRecoveredColumnTitle));
    return header;
}

// Rows from firstRecoveredIndex on are the recovered ones, the same rule that draws
// them red.
CsvLines listLines(CListCtrl& list)
{
    CsvLines lines;
    lines.push_back(headerLine());
    const std::string recoveredMark = AnsiToUtf8(kRecoveredMark);
    const int rowCount = list.GetItemCount();
    for (int row = 0; row < rowCount; ++row) {
        std::vector<std::string> fields;
        for (int column = 0; column < kCallListColumnCount; ++column)
            fields.push_back(AnsiToUtf8(list.GetItemText(row, column)));
        const bool recovered = row >= CallRecordTable.firstRecoveredIndex;
        fields.push_back(recovered ? recoveredMark : std::string());
        lines.push_back(std::move(fields));
    }
    return lines;
}

}  // namespace

void CPeldmarkDlg::OnExportRecords()
{
    if (OpenFilePath.empty()) {
        MessageBox(kExportNeedsFile);
        return;
    }
    CFileDialog dialog(FALSE, kDefaultExtension, kProposedName,
                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kExportFilter, this);
    if (dialog.DoModal() != IDOK)
        return;

    const std::string target = dialog.GetPathName();
    const CsvLines lines = listLines(m_listCalls);
    const std::string failure = isOpenDatabaseOrCompanion(target, OpenFilePath)
                                    ? std::string(kTargetIsEvidence)
                                    : writeFileReplacing(target, csvDocument(lines));
    if (failure.empty()) {
        const std::string rows = std::to_string(lines.size() - 1);
        MessageBox(("导出完成，共导出" + rows + "条通话记录。").c_str());
    } else {
        MessageBox(("导出失败：" + target + "\n" + failure).c_str());
    }
}
