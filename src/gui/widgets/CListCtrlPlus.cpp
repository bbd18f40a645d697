#include "gui/widgets/CListCtrlPlus.h"

#include "gui/widgets/ColorRef.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyledItemDelegate>

#include <algorithm>
#include <vector>

namespace selvo::gui {

// The rows and columns of one CListCtrlPlus; with a page source it grows page by page.
class ListModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ListModel)

public:
    struct Column {
        QString caption;
        Qt::Alignment alignment;
    };
    struct Item {
        QStringList texts;
        QVariant data;
        bool checked = false;
    };

    explicit ListModel(QObject* parent) : QAbstractTableModel(parent) {}

    std::vector<Column> columns;
    std::vector<Item> items;
    bool checkBoxes = false;
    CListCtrlPlus::PageSource source;
    int pageSize = CListCtrlPlus::kDefaultPageSize;
    bool exhausted = true;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(items.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(columns.size());
    }

    QString text(int row, int column) const {
        const QStringList& texts = items[size_t(row)].texts;
        return column < texts.size() ? texts[column] : QString();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const Item& item = items[size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return text(index.row(), index.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columns[size_t(index.column())].alignment | Qt::AlignVCenter);
        case Qt::CheckStateRole:
            if (checkBoxes && index.column() == 0)
                return item.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::UserRole:
            return item.data;
        default:
            return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || role != Qt::CheckStateRole || !checkBoxes || index.column() != 0)
            return false;
        setChecked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }

    void setChecked(int row, bool checked) {
        Item& item = items[size_t(row)];
        if (item.checked == checked)
            return;
        item.checked = checked;
        const QModelIndex cell = index(row, 0);
        emit dataChanged(cell, cell, {Qt::CheckStateRole});
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
        if (checkBoxes && index.column() == 0)
            f |= Qt::ItemIsUserCheckable;
        return f;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= int(columns.size()))
            return {};
        if (role == Qt::DisplayRole)
            return columns[size_t(section)].caption;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(columns[size_t(section)].alignment | Qt::AlignVCenter);
        return {};
    }

    bool canFetchMore(const QModelIndex& parent) const override {
        return !parent.isValid() && source && !exhausted;
    }

    void fetchMore(const QModelIndex& parent) override {
        if (!canFetchMore(parent))
            return;
        // The source may run a query that processes events; never fetch the same page twice.
        exhausted = true;
        const QList<CListCtrlPlus::Row> page = source(int(items.size()), pageSize);
        const bool more = page.size() >= pageSize;
        if (!page.isEmpty()) {
            const int first = int(items.size());
            beginInsertRows({}, first, first + int(page.size()) - 1);
            for (const CListCtrlPlus::Row& row : page)
                items.push_back(Item{row.texts, row.data, false});
            endInsertRows();
        }
        exhausted = !more;
    }

    void insertColumnAt(int column, const Column& value) {
        beginInsertColumns({}, column, column);
        columns.insert(columns.begin() + column, value);
        for (Item& item : items)
            if (column < item.texts.size())
                item.texts.insert(column, QString());
        endInsertColumns();
    }

    void insertItem(int row, Item item) {
        beginInsertRows({}, row, row);
        items.insert(items.begin() + row, std::move(item));
        endInsertRows();
    }

    void removeItem(int row) {
        beginRemoveRows({}, row, row);
        items.erase(items.begin() + row);
        endRemoveRows();
    }

    void setText(int row, int column, const QString& value) {
        QStringList& texts = items[size_t(row)].texts;
        while (texts.size() <= column)
            texts << QString();
        texts[column] = value;
        const QModelIndex cell = index(row, column);
        emit dataChanged(cell, cell, {Qt::DisplayRole});
    }

    void checkBoxesChanged() {
        if (!items.empty())
            emit dataChanged(index(0, 0), index(int(items.size()) - 1, 0), {Qt::CheckStateRole});
    }

    void clearAll() {
        beginResetModel();
        columns.clear();
        items.clear();
        source = {};
        exhausted = true;
        endResetModel();
    }

    void resetRows() {
        beginResetModel();
        items.clear();
        items.shrink_to_fit();
        endResetModel();
    }
};

namespace {

// Draws each cell in the colours of CListCtrlPlus::cellColors; the style still draws the
// check box, the text alignment and the eliding.
class ListDelegate final : public QStyledItemDelegate {
public:
    explicit ListDelegate(CListCtrlPlus* list) : QStyledItemDelegate(list), m_list(list) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const CListCtrlPlus::CellColors colors = m_list->cellColors(index.row(), index.column());
        option->backgroundBrush = colors.background;
        option->palette.setColor(QPalette::Text, colors.text);
        option->palette.setColor(QPalette::HighlightedText, colors.text);
        option->state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    }

private:
    CListCtrlPlus* m_list;
};

} // namespace

CListCtrlPlus::CListCtrlPlus(QWidget* parent) : QTableView(parent), m_model(new ListModel(this)) {
    m_highlight.fill(-1);
    setModel(m_model);
    setItemDelegate(new ListDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setAlternatingRowColors(false);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, evenRowBackground());
    setPalette(pal);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CListCtrlPlus::updateFirstSelected);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &CListCtrlPlus::updateFirstSelected);
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (!m_widenToFit.isEmpty())
                    widenForRows(first, last);
            });
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                if (!m_widenToFit.isEmpty())
                    widenForRows(from.row(), to.row());
            });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &CListCtrlPlus::updateFirstSelected);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CListCtrlPlus::updateFirstSelected);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_widenToFit.isEmpty() && rowCount() > 0)
            widenForRows(0, rowCount() - 1);
    });
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (!roles.contains(Qt::CheckStateRole))
                    return;
                for (int row = from.row(); row <= to.row(); ++row)
                    emit checkChanged(row, isChecked(row));
            });
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { emit itemClicked(index.row(), index.column()); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit itemDoubleClicked(index.row(), index.column()); });
}

CListCtrlPlus::~CListCtrlPlus() = default;

// ---- colours

QColor CListCtrlPlus::selectedText() {
    return Qt::white;
}
QColor CListCtrlPlus::selectedBackground() {
    return ColorFromRef(0xC56A31);
}
QColor CListCtrlPlus::highlightBackground() {
    return ColorFromRef(0x00C400);
}
QColor CListCtrlPlus::normalText() {
    return ColorFromRef(0x383838);
}
QColor CListCtrlPlus::oddRowBackground() {
    return ColorFromRef(0xF0F0F0);
}
QColor CListCtrlPlus::evenRowBackground() {
    return Qt::white;
}

CListCtrlPlus::CellColors CListCtrlPlus::cellColors(int row, int column) const {
    const bool highlighted = isHighlightColumn(column);
    if (row >= 0 && row == m_firstSelected)
        return {selectedText(), highlighted ? highlightBackground() : selectedBackground()};
    if (highlighted)
        return {Qt::white, highlightBackground()};
    return {normalText(), row % 2 == 1 ? oddRowBackground() : evenRowBackground()};
}

void CListCtrlPlus::setHighlightColumns(const QList<int>& columns) {
    m_highlight.fill(-1);
    for (int i = 0; i < kHighlightSlots && i < columns.size(); ++i)
        m_highlight[size_t(i)] = columns[i];
    viewport()->update();
}

QList<int> CListCtrlPlus::highlightColumns() const {
    QList<int> columns;
    for (int c : m_highlight)
        if (c >= 0)
            columns << c;
    return columns;
}

bool CListCtrlPlus::isHighlightColumn(int column) const {
    return column >= 0 && std::find(m_highlight.begin(), m_highlight.end(), column) != m_highlight.end();
}

// ---- columns

int CListCtrlPlus::insertColumn(int column, const QString& caption, int width, Qt::Alignment alignment) {
    column = std::clamp(column, 0, columnCount());
    m_model->insertColumnAt(column, ListModel::Column{caption, alignment});
    setColumnWidthOf(column, width);
    return column;
}

int CListCtrlPlus::addColumn(const QString& caption, int width, Qt::Alignment alignment) {
    return insertColumn(columnCount(), caption, width, alignment);
}

int CListCtrlPlus::columnCount() const {
    return int(m_model->columns.size());
}

QString CListCtrlPlus::columnCaption(int column) const {
    return column >= 0 && column < columnCount() ? m_model->columns[size_t(column)].caption : QString();
}

QStringList CListCtrlPlus::columnCaptions() const {
    QStringList captions;
    for (int visual = 0; visual < columnCount(); ++visual)
        captions << columnCaption(horizontalHeader()->logicalIndex(visual));
    return captions;
}

void CListCtrlPlus::setColumnWidthOf(int column, int width) {
    if (column < 0 || column >= columnCount())
        return;
    if (width <= 0) {
        setColumnHidden(column, true);
        return;
    }
    setColumnHidden(column, false);
    setColumnWidth(column, width);
}

void CListCtrlPlus::setWidenToFit(const QList<int>& columns) {
    m_widenToFit = columns;
    for (int column : columns) {
        if (column >= 0 && column < columnCount() && !isColumnHidden(column))
            setColumnWidth(column,
                           std::max(columnWidth(column), horizontalHeader()->sectionSizeHint(column)));
    }
    if (rowCount() > 0)
        widenForRows(0, rowCount() - 1);
}

void CListCtrlPlus::widenForRows(int first, int last) {
    for (int column : std::as_const(m_widenToFit)) {
        if (column < 0 || column >= columnCount() || isColumnHidden(column))
            continue;
        int widest = columnWidth(column);
        for (int row = first; row <= last; ++row)
            widest = std::max(widest, sizeHintForIndex(m_model->index(row, column)).width() + 2);
        if (widest > columnWidth(column))
            setColumnWidth(column, widest);
    }
}

int CListCtrlPlus::columnWidthOf(int column) const {
    return isColumnHidden(column) ? 0 : columnWidth(column);
}

void CListCtrlPlus::removeAllColumns() {
    m_model->clearAll();
}

// ---- rows

int CListCtrlPlus::addRow(const QStringList& texts, const QVariant& value) {
    return insertRow(rowCount(), texts, value);
}

int CListCtrlPlus::insertRow(int row, const QStringList& texts, const QVariant& value) {
    row = std::clamp(row, 0, rowCount());
    m_model->insertItem(row, ListModel::Item{texts, value, false});
    return row;
}

void CListCtrlPlus::removeRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    // A removed selected row leaves no selection behind (the view would move it to a neighbour).
    if (selectionModel()->isRowSelected(row, {}))
        selectionModel()->clear();
    m_model->removeItem(row);
}

void CListCtrlPlus::clear() {
    m_pagedIds.reset();
    m_model->source = {};
    m_model->exhausted = true;
    m_model->resetRows();
}

int CListCtrlPlus::rowCount() const {
    return m_model->rowCount();
}

QString CListCtrlPlus::itemText(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    return m_model->text(row, column);
}

void CListCtrlPlus::setItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    m_model->setText(row, column, text);
}

QStringList CListCtrlPlus::rowTexts(int row) const {
    QStringList texts;
    for (int c = 0; c < columnCount(); ++c)
        texts << itemText(row, c);
    return texts;
}

QVariant CListCtrlPlus::itemData(int row) const {
    return row >= 0 && row < rowCount() ? m_model->items[size_t(row)].data : QVariant();
}

void CListCtrlPlus::setItemData(int row, const QVariant& value) {
    if (row >= 0 && row < rowCount())
        m_model->items[size_t(row)].data = value;
}

int CListCtrlPlus::findRowByData(const QVariant& value) const {
    for (int row = 0; row < rowCount(); ++row)
        if (m_model->items[size_t(row)].data == value)
            return row;
    return -1;
}

// ---- check boxes

void CListCtrlPlus::setCheckBoxes(bool on) {
    if (m_model->checkBoxes == on)
        return;
    m_model->checkBoxes = on;
    m_model->checkBoxesChanged();
}

bool CListCtrlPlus::hasCheckBoxes() const {
    return m_model->checkBoxes;
}

bool CListCtrlPlus::isChecked(int row) const {
    return row >= 0 && row < rowCount() && m_model->items[size_t(row)].checked;
}

void CListCtrlPlus::setChecked(int row, bool checked) {
    if (row >= 0 && row < rowCount())
        m_model->setChecked(row, checked);
}

QList<int> CListCtrlPlus::checkedRows() const {
    QList<int> rows;
    for (int row = 0; row < rowCount(); ++row)
        if (m_model->items[size_t(row)].checked)
            rows << row;
    return rows;
}

void CListCtrlPlus::setAllChecked(bool checked) {
    for (int row = 0; row < rowCount(); ++row)
        setChecked(row, checked);
}

// ---- selection

int CListCtrlPlus::selectedRow() const {
    return m_firstSelected;
}

QList<int> CListCtrlPlus::selectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows << row;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CListCtrlPlus::setSelectedRow(int row) {
    if (row < 0 || row >= rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex cell = m_model->index(row, 0);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(cell);
}

void CListCtrlPlus::updateFirstSelected() {
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        if (range.isValid() && (first < 0 || range.top() < first))
            first = range.top();
    if (first == m_firstSelected)
        return;
    m_firstSelected = first;
    viewport()->update();
    emit selectedRowChanged(first);
}

// ---- paged filling

void CListCtrlPlus::setPagedSource(PageSource source, int pageSize) {
    m_pagedIds.reset();
    m_model->resetRows();
    m_model->source = std::move(source);
    m_model->pageSize = std::max(1, pageSize);
    m_model->exhausted = !m_model->source;
    fetchMore();
}

void CListCtrlPlus::setPagedIds(QVector<int> ids, RowsOf rowsOf, int pageSize) {
    auto paged = std::make_shared<PagedIds>();
    paged->ids = std::move(ids);
    setPagedIds(paged, std::move(rowsOf), pageSize);
}

void CListCtrlPlus::setPagedIds(MoreIds moreIds, RowsOf rowsOf, int pageSize) {
    auto paged = std::make_shared<PagedIds>();
    paged->more = std::move(moreIds);
    setPagedIds(paged, std::move(rowsOf), pageSize);
}

void CListCtrlPlus::setPagedIds(const std::shared_ptr<PagedIds>& paged, RowsOf rowsOf, int pageSize) {
    setPagedSource(
        [paged, rowsOf = std::move(rowsOf)](int offset, int limit) {
            // From the top again: the IDs read so far, then on.
            if (offset == 0)
                paged->cursor = 0;
            QList<Row> page;
            while (page.size() < limit) {
                if (paged->cursor == paged->ids.size()) {
                    if (!paged->more)
                        break;
                    const int asked = int(limit - page.size());
                    const QVector<int> read = paged->more(asked);
                    paged->ids += read;
                    if (read.size() < asked) {
                        paged->more = nullptr;
                        paged->ids += paged->appended;
                        paged->appended.clear();
                    }
                    continue;
                }
                const QVector<int> chunk = paged->ids.mid(paged->cursor, limit - page.size());
                paged->cursor += chunk.size();
                page += rowsOf(chunk);
            }
            return page;
        },
        pageSize);
    m_pagedIds = paged;
}

void CListCtrlPlus::appendPagedId(int id) {
    if (!m_pagedIds)
        return;
    if (m_pagedIds->more)
        m_pagedIds->appended.append(id);
    else
        m_pagedIds->ids.append(id);
}

bool CListCtrlPlus::isPaged() const {
    return bool(m_model->source);
}

bool CListCtrlPlus::canFetchMore() const {
    return m_model->canFetchMore({});
}

void CListCtrlPlus::fetchMore() {
    m_model->fetchMore({});
}

void CListCtrlPlus::fetchAll() {
    while (canFetchMore())
        fetchMore();
}

void CListCtrlPlus::refetch() {
    if (!m_model->source)
        return;
    // The same IDs, when the source pages over them.
    const std::shared_ptr<PagedIds> paged = m_pagedIds;
    setPagedSource(m_model->source, m_model->pageSize);
    m_pagedIds = paged;
}

} // namespace selvo::gui

#include "CListCtrlPlus.moc"
