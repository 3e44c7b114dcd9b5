// The report list: rows and columns kept in C++ (with and without a view), the
// NM_CUSTOMDRAW colour protocol with its owner, the model the view reads, the list
// styles, and one rendered check that red rows come out red.
#include <algorithm>

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTableView>

#include <gtest/gtest.h>

#include "platform/testing.h"
#include "platform/ui/resources.h"
#include "platform/ui/winapp.h"
#include "platform/ui/wnd.h"

namespace {

constexpr int kTemplate = 9200;
constexpr int kListId = 1000;
constexpr int kFirstRedRow = 3;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// An owner that colours rows from kFirstRedRow on red, as the main window does, and
// records the draw stages it is asked about.
class ListOwner : public CDialog
{
public:
    ListOwner() : CDialog(kTemplate) {}
    CListCtrl m_list;
    bool notifyItems = true;
    std::vector<DWORD> stages;

    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kListId, m_list); }
    void OnCustomDraw(NMHDR* header, LRESULT* result)
    {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        stages.push_back(draw->nmcd.dwDrawStage);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT && notifyItems)
            *result = CDRF_NOTIFYITEMDRAW;
        else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
            draw->clrText = static_cast<int>(draw->nmcd.dwItemSpec) >= kFirstRedRow ? kRed : kBlack;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ListOwner, CDialog)
    ON_NOTIFY(NM_CUSTOMDRAW, kListId, &ListOwner::OnCustomDraw)
END_MESSAGE_MAP()

void RegisterListTemplate()
{
    RegisterDialogResource({ kTemplate, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 300, 200,
                             "列表", "MS Shell Dlg", 9, 0,
                             { { kListId, ControlKind::ListView, 0, 0, 300, 200,
                                 WS_CHILD | WS_VISIBLE | WS_BORDER, "" } } });
}

void FillRows(CListCtrl& list, int count, const char* text)
{
    for (int i = 0; i < count; ++i) {
        const int item = list.InsertItem(i, text);
        list.SetItemText(item, 1, std::to_string(i).c_str());
    }
}

QTableView* ViewOf(CListCtrl& list) { return static_cast<QTableView*>(list.PeerWidget()); }

TEST(ListRows, AppendedRowsKeepTheirTextsPerCell)
{
    CListCtrl list;
    for (const char* heading : { "姓名", "来电或去电" })
        list.InsertColumn(list.GetColumnCount(), heading);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(list.InsertItem(i, std::string(1, static_cast<char>('a' + i)).c_str()), i);
    ASSERT_EQ(list.GetItemCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(list.GetItemText(i, 0), std::string(1, static_cast<char>('a' + i)));

    EXPECT_TRUE(list.SetItemText(3, 1, "呼入电话"));
    EXPECT_FALSE(list.SetItemText(4, 1, "x"));    // no such row
    EXPECT_FALSE(list.SetItemText(0, 2, "x"));    // no such column
    EXPECT_FALSE(list.SetItemText(-1, 0, "x"));
    EXPECT_EQ(list.GetItemText(3, 1), "呼入电话");
    EXPECT_EQ(list.GetItemText(2, 1), "");
    EXPECT_EQ(list.GetItemText(9, 0), "");
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST(ListRows, ColumnsKeepHeadingsWidthsAndExtendedStyle)
{
    CListCtrl list;
    EXPECT_EQ(list.InsertColumn(0, "姓名"), 0);
    EXPECT_EQ(list.InsertColumn(1, "通话时间"), 1);
    EXPECT_EQ(list.InsertColumn(2, "通话号码"), 2);
    EXPECT_EQ(list.GetColumnHeading(1), "通话时间");
    EXPECT_TRUE(list.SetColumnWidth(1, 150));
    EXPECT_FALSE(list.SetColumnWidth(3, 10));
    EXPECT_EQ(list.GetColumnWidth(1), 150);
    EXPECT_EQ(list.SetExtendedStyle(0x31), 0u);
    EXPECT_EQ(list.SetExtendedStyle(LVS_EX_GRIDLINES), 0x31u);
}

TEST(CustomDraw, OwnerColoursRowsThroughPrepaintAndItemPrepaint)
{
    RegisterListTemplate();
    ListOwner owner;
    ASSERT_TRUE(owner.Create());
    owner.m_list.InsertColumn(0, "姓名");
    owner.m_list.InsertColumn(1, "来电或去电");
    FillRows(owner.m_list, 5, "x");
    const COLORREF expected[] = { kBlack, kBlack, kBlack, kRed, kRed };
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(owner.m_list.QueryItemTextColor(row), expected[row]) << row;
    EXPECT_EQ(owner.stages.front(), CDDS_PREPAINT);
    EXPECT_EQ(owner.stages.back(), CDDS_ITEMPREPAINT);

    // The view's model asks the same way: red rows are red in ForegroundRole.
    QApplication::processEvents();   // appended rows reach the view together
    QAbstractItemModel* model = ViewOf(owner.m_list)->model();
    ASSERT_EQ(model->rowCount(), 5);
    EXPECT_EQ(model->data(model->index(4, 0), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(model->data(model->index(1, 1), Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 0));

    // An owner that does not ask for item notifications gets none: the list's own colour.
    owner.notifyItems = false;
    owner.stages.clear();
    EXPECT_EQ(owner.m_list.QueryItemTextColor(4), CLR_DEFAULT);
    EXPECT_EQ(owner.stages, (std::vector<DWORD>{ CDDS_PREPAINT }));
    EXPECT_FALSE(model->data(model->index(4, 0), Qt::ForegroundRole).isValid());
}

TEST(CustomDraw, RenderedRowsAreRedFromTheFirstRecoveredRowOn)
{
    RegisterListTemplate();
    ListOwner owner;
    ASSERT_TRUE(owner.Create());
    owner.m_list.ModifyStyle(0, LVS_REPORT);
    owner.m_list.InsertColumn(0, "姓名", LVCFMT_LEFT);
    owner.m_list.SetColumnWidth(0, 200);
    FillRows(owner.m_list, 5, "█████ 恢复");
    QTableView* view = ViewOf(owner.m_list);
    QApplication::processEvents();
    owner.stages.clear();
    const QImage image = view->viewport()->grab().toImage();
    // One CDDS_PREPAINT per paint pass, before the rows.
    ASSERT_FALSE(owner.stages.empty());
    EXPECT_EQ(owner.stages.front(), CDDS_PREPAINT);
    EXPECT_EQ(std::count(owner.stages.begin(), owner.stages.end(), CDDS_PREPAINT), 1);
    auto redPixels = [&](int row) {
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        int count = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80;
            }
        }
        return count;
    };
    EXPECT_EQ(redPixels(0), 0);
    EXPECT_EQ(redPixels(kFirstRedRow - 1), 0);
    EXPECT_GT(redPixels(kFirstRedRow), 20);
    EXPECT_GT(redPixels(4), 20);
}

TEST(ListView, StylesAndHeaderMovesKeepColumnNumbers)
{
    RegisterListTemplate();
    ListOwner owner;
    ASSERT_TRUE(owner.Create());
    CListCtrl& list = owner.m_list;
    QTableView* view = ViewOf(list);
    EXPECT_FALSE(view->horizontalHeader()->isVisibleTo(view));   // not a report view yet
    list.ModifyStyle(0, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(view->horizontalHeader()->isVisibleTo(view));
    EXPECT_TRUE(view->showGrid());
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(view->isSortingEnabled());
    EXPECT_EQ(view->palette().color(QPalette::Inactive, QPalette::Highlight),
              view->palette().color(QPalette::Active, QPalette::Highlight));

    for (const char* heading : { "姓名", "来电或去电", "通话时间" })
        list.InsertColumn(list.GetColumnCount(), heading);
    list.SetColumnWidth(2, 150);
    EXPECT_EQ(view->horizontalHeader()->sectionSize(2), 150);
    FillRows(list, 2, "张三");
    QApplication::processEvents();
    QHeaderView* header = view->horizontalHeader();
    ASSERT_TRUE(header->sectionsMovable());
    view->horizontalHeader()->moveSection(0, 2);   // the user drags 姓名 to the end
    list.SetItemText(0, 2, "2013-12-06 15:51:56");
    EXPECT_EQ(list.GetItemText(0, 0), "张三");
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("姓名"));
    EXPECT_EQ(view->model()->data(view->model()->index(0, 2)).toString(),
              QStringLiteral("2013-12-06 15:51:56"));
    // Emptying the list for a refill keeps the widths and the dragged column order.
    list.DeleteAllItems();
    EXPECT_EQ(header->sectionSize(2), 150);
    EXPECT_EQ(header->visualIndex(0), 2);
}

TEST(ListView, AHundredThousandRowsReachTheModelAndDeleteAllEmptiesIt)
{
    RegisterListTemplate();
    ListOwner owner;
    ASSERT_TRUE(owner.Create());
    constexpr int kRows = 100000;
    for (int column = 0; column < 6; ++column)
        owner.m_list.InsertColumn(column, "列");
    for (int i = 0; i < kRows; ++i) {
        owner.m_list.InsertItem(i, "李四");
        for (int column = 1; column < 6; ++column)
            owner.m_list.SetItemText(i, column, "13800138000");
    }
    QAbstractItemModel* model = ViewOf(owner.m_list)->model();
    QApplication::processEvents();   // appended rows are announced together
    ASSERT_EQ(model->rowCount(), kRows);
    EXPECT_EQ(model->data(model->index(kRows - 1, 0)).toString(), QStringLiteral("李四"));
    owner.m_list.DeleteAllItems();
    EXPECT_EQ(model->rowCount(), 0);
}

}  // namespace
