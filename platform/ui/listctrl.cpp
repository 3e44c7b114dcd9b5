// CListCtrl: a report list whose rows live here as plain texts and are shown through a
// QAbstractTableModel over them in a QTableView. Row text colours come from the owner's
// NM_CUSTOMDRAW handler (NMLVCUSTOMDRAW), asked once per paint and then per row.
#include <algorithm>

#include <QHeaderView>
#include <QPaintEvent>
#include <QTableView>

#include "platform/ui/peer.h"

namespace {

constexpr int kDefaultColumnWidth = 60;   // pixels, for a column inserted without one
constexpr int kRowPadding = 4;            // pixels above and below a row's text

// Sends one custom-draw stage to the list's owner. Returns the owner's answer and leaves
// its colour in *textColor (CLR_DEFAULT when it chose none, or when there is no owner).
LRESULT SendCustomDraw(CListCtrl& list, DWORD stage, int item, COLORREF* textColor)
{
    NMLVCUSTOMDRAW record{};
    record.nmcd.hdr.hwndFrom = list.m_hWnd;
    record.nmcd.hdr.idFrom = static_cast<UINT_PTR>(list.GetDlgCtrlID());
    record.nmcd.hdr.code = NM_CUSTOMDRAW;
    record.nmcd.dwDrawStage = stage;
    record.nmcd.dwItemSpec = static_cast<DWORD_PTR>(item);
    record.clrText = CLR_DEFAULT;
    record.clrTextBk = CLR_DEFAULT;
    LRESULT answer = CDRF_DODEFAULT;
    if (CWnd* owner = list.GetParent())
        answer = owner->SendMessage(WM_NOTIFY, record.nmcd.hdr.idFrom,
                                    reinterpret_cast<LPARAM>(&record));
    if (textColor != nullptr)
        *textColor = record.clrText;
    return answer;
}

QVariant ToQColor(COLORREF color)
{
    if (color == CLR_DEFAULT)
        return QVariant();
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// The table view of a report list: every paint pass starts with CDDS_PREPAINT.
class ListView : public QTableView
{
public:
    using QTableView::QTableView;
    ListModel* listModel = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (listModel != nullptr)
            listModel->beginPaint();
        QTableView::paintEvent(event);
        if (listModel != nullptr)
            listModel->endPaint();
    }
};

}  // namespace

// ---------------------------------------------------------------------------------
// ListModel

ListModel::ListModel(CListCtrl& list, QObject* parent)
    : QAbstractTableModel(parent),
      m_list(&list),
      m_shownRows(static_cast<int>(list.m_rows->items.size()))
{
}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_list == nullptr ? 0 : m_shownRows;
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_list == nullptr ? 0 : m_list->GetColumnCount();
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (m_list == nullptr || !index.isValid() || index.row() >= m_list->GetItemCount())
        return QVariant();
    if (role == Qt::DisplayRole)
        return ToQString(m_list->GetItemText(index.row(), index.column()));
    if (role != Qt::ForegroundRole)
        return QVariant();
    if (!m_inPaint)
        return ToQColor(m_list->QueryItemTextColor(index.row()));
    if (!m_askItems)
        return QVariant();
    auto cached = m_paintColors.find(index.row());
    if (cached == m_paintColors.end()) {
        COLORREF color = CLR_DEFAULT;
        SendCustomDraw(*m_list, CDDS_ITEMPREPAINT, index.row(), &color);
        cached = m_paintColors.emplace(index.row(), color).first;
    }
    return ToQColor(cached->second);
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (m_list == nullptr || orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return ToQString(m_list->GetColumnHeading(section));
}

void ListModel::rowsAppended()
{
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, [this] { flush(); }, Qt::QueuedConnection);
}

void ListModel::flush()
{
    m_flushQueued = false;
    const int total = m_list == nullptr ? 0 : m_list->GetItemCount();
    if (total <= m_shownRows)
        return;
    beginInsertRows(QModelIndex(), m_shownRows, total - 1);
    m_shownRows = total;
    endInsertRows();
}

void ListModel::cellChanged(int row, int column)
{
    if (row < m_shownRows)
        emit dataChanged(index(row, column), index(row, column));
}

void ListModel::removeAllRows(const std::function<void()>& change)
{
    // Only the rows the view knows are announced as removed; appended rows it has not
    // been told of yet go silently.
    const int shown = m_shownRows;
    if (shown > 0)
        beginRemoveRows(QModelIndex(), 0, shown - 1);
    change();
    m_shownRows = 0;
    if (shown > 0)
        endRemoveRows();
}

void ListModel::appendColumn(const std::function<void()>& change)
{
    const int column = m_list == nullptr ? 0 : m_list->GetColumnCount();
    beginInsertColumns(QModelIndex(), column, column);
    change();
    endInsertColumns();
}

void ListModel::detach()
{
    beginResetModel();
    m_list = nullptr;
    m_shownRows = 0;
    endResetModel();
}

void ListModel::columnResized(int column, int width)
{
    if (m_list != nullptr && column >= 0 && column < m_list->GetColumnCount())
        m_list->m_rows->columns[column].width = width;
}

void ListModel::beginPaint()
{
    m_paintColors.clear();
    m_inPaint = true;
    m_askItems = m_list != nullptr
                 && SendCustomDraw(*m_list, CDDS_PREPAINT, 0, nullptr) == CDRF_NOTIFYITEMDRAW;
}

void ListModel::endPaint()
{
    m_inPaint = false;
    m_paintColors.clear();
}

// ---------------------------------------------------------------------------------
// CListCtrl

CListCtrl::CListCtrl() : m_rows(std::make_unique<Rows>()) {}

CListCtrl::~CListCtrl()
{
    if (m_rows->model != nullptr)
        m_rows->model->detach();
}

int CListCtrl::InsertColumn(int /*column: the program appends*/, const char* heading,
                            int /*format: left only*/, int width, int /*subItem: the column itself*/)
{
    const int at = GetColumnCount();
    Rows::Column added{ heading != nullptr ? heading : "",
                        width >= 0 ? width : kDefaultColumnWidth };
    auto append = [&] { m_rows->columns.push_back(added); };
    if (m_rows->model != nullptr)
        m_rows->model->appendColumn(append);
    else
        append();
    if (m_rows->view)
        m_rows->view->horizontalHeader()->resizeSection(at, added.width);
    return at;
}

BOOL CListCtrl::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= GetColumnCount() || width < 0)
        return FALSE;
    m_rows->columns[column].width = width;
    if (m_rows->view)
        m_rows->view->horizontalHeader()->resizeSection(column, width);
    return TRUE;
}

int CListCtrl::GetColumnWidth(int column) const
{
    return column >= 0 && column < GetColumnCount() ? m_rows->columns[column].width : 0;
}

int CListCtrl::GetColumnCount() const
{
    return static_cast<int>(m_rows->columns.size());
}

std::string CListCtrl::GetColumnHeading(int column) const
{
    if (column < 0 || column >= GetColumnCount())
        return std::string();
    return m_rows->columns[column].heading;
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle)
{
    const DWORD previous = m_rows->exStyle;
    m_rows->exStyle = exStyle;
    ApplyListStyles(*this);
    return previous;
}

DWORD CListCtrl::GetExtendedStyle() const
{
    return m_rows->exStyle;
}

int CListCtrl::InsertItem(int /*index: the program appends*/, const char* text)
{
    m_rows->items.push_back({ text != nullptr ? text : "" });
    if (m_rows->model != nullptr)
        m_rows->model->rowsAppended();
    return GetItemCount() - 1;
}

BOOL CListCtrl::SetItemText(int item, int subItem, const char* text)
{
    const int columns = std::max(GetColumnCount(), 1);
    if (item < 0 || item >= GetItemCount() || subItem < 0 || subItem >= columns)
        return FALSE;
    auto& row = m_rows->items[item];
    if (static_cast<int>(row.size()) <= subItem)
        row.resize(subItem + 1);
    row[subItem] = text != nullptr ? text : "";
    if (m_rows->model != nullptr)
        m_rows->model->cellChanged(item, subItem);
    return TRUE;
}

std::string CListCtrl::GetItemText(int item, int subItem) const
{
    if (item < 0 || item >= GetItemCount() || subItem < 0)
        return std::string();
    const auto& row = m_rows->items[item];
    return subItem < static_cast<int>(row.size()) ? row[subItem] : std::string();
}

BOOL CListCtrl::DeleteAllItems()
{
    if (m_rows->model != nullptr)
        m_rows->model->removeAllRows([this] { m_rows->items.clear(); });
    else
        m_rows->items.clear();
    return TRUE;
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(m_rows->items.size());
}

COLORREF CListCtrl::QueryItemTextColor(int item)
{
    if (SendCustomDraw(*this, CDDS_PREPAINT, 0, nullptr) != CDRF_NOTIFYITEMDRAW)
        return CLR_DEFAULT;
    COLORREF color = CLR_DEFAULT;
    SendCustomDraw(*this, CDDS_ITEMPREPAINT, item, &color);
    return color;
}

// ---------------------------------------------------------------------------------
// The view

QTableView* CreateListView(QWidget* parent)
{
    return new ListView(parent);
}

void AttachListView(CListCtrl& list, QTableView* view)
{
    if (list.m_rows->model != nullptr)
        list.m_rows->model->detach();
    auto* model = new ListModel(list, view);
    QAbstractItemModel* previous = view->model();
    view->setModel(model);
    if (previous != nullptr && previous->parent() == view)   // not Qt's shared empty model
        previous->deleteLater();
    if (auto* listView = dynamic_cast<ListView*>(view))
        listView->listModel = model;
    list.m_rows->view = view;
    list.m_rows->model = model;

    view->setSortingEnabled(false);
    view->setWordWrap(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + kRowPadding);
    QHeaderView* header = view->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);   // LVCFMT_LEFT
    header->setStretchLastSection(false);
    // A header click neither sorts nor selects the column, as in a report list.
    QObject::disconnect(header, &QHeaderView::sectionPressed, view, nullptr);
    QObject::disconnect(header, &QHeaderView::sectionEntered, view, nullptr);
    for (int column = 0; column < list.GetColumnCount(); ++column)
        header->resizeSection(column, list.GetColumnWidth(column));
    QObject::connect(header, &QHeaderView::sectionResized, model,
                     [model](int logical, int, int newSize) {
                         model->columnResized(logical, newSize);
                     });
    ApplyListStyles(list);
}

void ApplyListStyles(CListCtrl& list)
{
    QTableView* view = list.m_rows->view.data();
    if (view == nullptr)
        return;
    const DWORD style = list.GetStyle();
    const DWORD exStyle = list.m_rows->exStyle;
    view->horizontalHeader()->setVisible((style & LVS_REPORT) != 0);
    view->setSelectionMode((style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                   : QAbstractItemView::ExtendedSelection);
    view->setShowGrid((exStyle & LVS_EX_GRIDLINES) != 0);
    view->horizontalHeader()->setSectionsMovable((exStyle & LVS_EX_HEADERDRAGDROP) != 0);
    view->setSelectionBehavior((exStyle & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                                : QAbstractItemView::SelectItems);
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : { QPalette::Highlight, QPalette::HighlightedText }) {
        const QPalette::ColorRole unselected = role == QPalette::Highlight ? QPalette::Base
                                                                           : QPalette::Text;
        palette.setColor(QPalette::Inactive, role,
                         palette.color(QPalette::Active,
                                       (style & LVS_SHOWSELALWAYS) ? role : unselected));
    }
    view->setPalette(palette);
}
