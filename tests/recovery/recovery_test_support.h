// Helpers of the recovery tests: setting a schema family from "name TYPE" pairs, a
// window-less main window with its call list, and hand-made raw images (a file's bytes
// plus the terminating zero byte) with a page-size field and bytes placed at chosen
// positions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/wnd.h"
#include "reader/call_record.h"
#include "reader/call_rows.h"
#include "recovery/column_schema.h"
#include "recovery/main_window_ids.h"
#include "recovery/record_frame.h"
#include "recovery/schema_capture.h"

namespace recovery_test {

using Column = std::pair<std::string, std::string>;   // lower-case name, upper-case type

inline void SetSchema(ColumnSchemaFamily& family, const std::vector<Column>& columns)
{
    family.count = static_cast<std::int32_t>(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        family.names[i] = columns[i].first;
        family.types[i] = columns[i].second;
    }
}

// A raw image of `fileLength` bytes of `filler` with the page-size field at offsets 16
// and 17 and a largest root page of 0 at offsets 52 to 55 (no pointer-map pages),
// followed by the terminating zero byte and, on request, bytes past the end of the
// buffer that a correct walk never reads (a walk that did would see them).
class RawImage
{
public:
    RawImage(std::int64_t fileLength, std::uint32_t pageSizeField, unsigned char filler)
        : m_bytes(static_cast<std::size_t>(fileLength) + 1, filler), m_fileLength(fileLength)
    {
        m_bytes.back() = 0;
        if (fileLength >= 18) {
            m_bytes[16] = static_cast<unsigned char>(pageSizeField >> 8);
            m_bytes[17] = static_cast<unsigned char>(pageSizeField & 0xFF);
        }
        if (fileLength >= kLargestRootPageEnd) {
            std::fill(m_bytes.begin() + kLargestRootPageEnd - 4,
                      m_bytes.begin() + kLargestRootPageEnd, 0);
        }
    }
    static constexpr std::int64_t kLargestRootPageEnd = 56;
    void Put(std::int64_t at, const std::vector<unsigned char>& bytes)
    {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            m_bytes.at(static_cast<std::size_t>(at) + i) = bytes[i];
        }
    }
    void PutPastTheEnd(const std::vector<unsigned char>& bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    RawBuffer View() const { return RawBuffer{m_bytes.data(), m_fileLength}; }

private:
    std::vector<unsigned char> m_bytes;
    std::int64_t m_fileLength;
};

// A lone candidate: the bytes given (header from the zero byte on, then content)
// followed by the terminating zero byte, as a buffer of its own.
class LoneCandidate
{
public:
    explicit LoneCandidate(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes))
    {
        m_bytes.push_back(0);
    }
    RawBuffer View() const
    {
        return RawBuffer{m_bytes.data(), static_cast<std::int64_t>(m_bytes.size()) - 1};
    }

private:
    std::vector<unsigned char> m_bytes;
};

// Sets `family` from a layout's "name TYPE" columns as the schema capture would hold
// them: names lower-cased, types upper-cased (ASCII).
inline void SetSchemaFromLayout(ColumnSchemaFamily& family, const std::vector<std::string>& columns)
{
    std::vector<Column> pairs;
    for (const std::string& column : columns) {
        const std::size_t blank = column.find(' ');
        std::string name = column.substr(0, blank);
        std::string type = blank == std::string::npos ? "" : column.substr(blank + 1);
        for (char& c : name) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        for (char& c : type) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        pairs.emplace_back(name, type);
    }
    SetSchema(family, pairs);
}

// A window-less main window whose control 1000 is the six-column call list, as the
// merge reaches it.
struct MainWindowWithList
{
    MainWindowWithList()
    {
        CDataExchange dx{&window};
        DDX_Control(&dx, kCallListControlId, list);
        for (int column = 0; column < 6; ++column) {
            list.InsertColumn(column, "");
        }
    }
    CWnd window;
    CListCtrl list;
};

// The main window's title after a recovery that appended k records.
inline std::string RecoveryTitleText(int k)
{
    return "Orsane手机通话记录恢复软件 共成功恢复出：" + std::to_string(k) + " 条通话记录";
}

}  // namespace recovery_test

namespace recovery_test {

// What the Open command leaves behind for a recovery, without its dialog: the table
// emptied and filled with the file's live rows, the schema captured, the list refilled
// (last row first) and firstRecoveredIndex set. False when SQLite cannot open the file.
inline bool LoadLiveRecords(const std::string& path, MainWindowWithList& main)
{
    CallRecordTable.Reset();
    main.list.DeleteAllItems();
    const CallLogVariant variant = FindCallLogVariant(path);
    CallLogConnection connection(path);
    if (!connection.IsOpen()) {
        return false;
    }
    if (IsIphoneVariant(variant)) {
        ReadIphoneCallRows(connection);
    } else {
        ReadAndroidCallRows(connection, main.window);
    }
    CaptureColumnSchema(connection, variant);
    for (int i = CallRecordTable.recordCount - 1; i >= 0; --i) {
        main.list.InsertItem(main.list.GetItemCount(), CallRecordTable.records[i].name.c_str());
    }
    CallRecordTable.firstRecoveredIndex = CallRecordTable.recordCount;
    return true;
}

}  // namespace recovery_test
