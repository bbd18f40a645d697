#pragma once

#include <QColor>
#include <QList>
#include <QStringList>
#include <QTableView>
#include <QVariant>
#include <QVector>

#include <array>
#include <functional>
#include <memory>

namespace selvo::gui {

class ListModel;

// The report list of every list screen: striped rows, up to five highlighted columns, a
// coloured selection, whole-row selection and grid lines. Columns have a caption, a width and
// an alignment; a column of width 0 is hidden but stays in the list (and in exports).
// Each row carries its texts, one item value (usually the record's ID) and, when check boxes
// are on, a check box in the first column.
//
// Two ways to fill it: add rows directly (bounded lists), or give it a page source
// (setPagedSource) for lists without a row limit: rows are then fetched a page at a time as
// the view scrolls towards the end, so a list of 200,000 rows opens at once.
class CListCtrlPlus final : public QTableView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CListCtrlPlus)

public:
    struct Row {
        QStringList texts;
        QVariant data;
    };
    // Returns up to `limit` rows starting at row `offset` of the whole list; fewer than `limit`
    // (or none) means the list ends there.
    using PageSource = std::function<QList<Row>(int offset, int limit)>;

    static constexpr int kHighlightSlots = 5;
    static constexpr int kDefaultPageSize = 200;

    explicit CListCtrlPlus(QWidget* parent = nullptr);
    ~CListCtrlPlus() override;

    // Columns. Returns the new column's index. A width of 0 hides the column.
    int insertColumn(int column, const QString& caption, int width, Qt::Alignment alignment = Qt::AlignLeft);
    int addColumn(const QString& caption, int width, Qt::Alignment alignment = Qt::AlignLeft);
    int columnCount() const;
    QString columnCaption(int column) const;
    QStringList columnCaptions() const;           // in display order
    void setColumnWidthOf(int column, int width); // 0 hides, more shows again
    int columnWidthOf(int column) const;
    void removeAllColumns(); // and every row

    // Columns that grow (never shrink) when what they show does not fit in the list's font:
    // their captions at once, each row's texts as rows arrive. The given widths stay the least.
    void setWidenToFit(const QList<int>& columns);

    // Highlighted columns (at most five; extra ones are ignored, -1 is an empty slot).
    void setHighlightColumns(const QList<int>& columns);
    QList<int> highlightColumns() const;
    bool isHighlightColumn(int column) const;

    // Rows. Texts beyond the column count are kept but not shown.
    int addRow(const QStringList& texts, const QVariant& value = {});
    int insertRow(int row, const QStringList& texts, const QVariant& value = {});
    void removeRow(int row);
    void clear();         // every row (and the page source); columns stay
    int rowCount() const; // rows loaded so far
    QString itemText(int row, int column) const;
    void setItemText(int row, int column, const QString& text);
    QStringList rowTexts(int row) const; // in column (not display) order
    QVariant itemData(int row) const;
    void setItemData(int row, const QVariant& value);
    int findRowByData(const QVariant& value) const; // -1 when absent

    // Check boxes in the first column.
    void setCheckBoxes(bool on);
    bool hasCheckBoxes() const;
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    QList<int> checkedRows() const;
    void setAllChecked(bool checked);

    // Selection: whole rows; the first selected row is the one drawn as selected.
    int selectedRow() const;         // -1 when none
    QList<int> selectedRows() const; // ascending
    void setSelectedRow(int row);    // -1 clears; scrolls it into view

    // Paged filling. Replaces every row with the first page at once; later pages follow as
    // the view scrolls (or fetchAll()). refetch() starts again from the first page.
    void setPagedSource(PageSource source, int pageSize = kDefaultPageSize);
    // Paged filling over IDs in list order: each page asks `rowsOf` for the rows of the next
    // IDs (it may leave some out: gone, or no longer belonging in the list). The IDs keep a
    // cursor of their own, so rows inserted or removed by hand do not shift which come next.
    using RowsOf = std::function<QList<Row>(const QVector<int>& ids)>;
    void setPagedIds(QVector<int> ids, RowsOf rowsOf, int pageSize = kDefaultPageSize);
    // The same over IDs read as they are needed: `moreIds(n)` returns up to n IDs following
    // those it returned before, fewer once there are no more.
    using MoreIds = std::function<QVector<int>(int count)>;
    void setPagedIds(MoreIds moreIds, RowsOf rowsOf, int pageSize = kDefaultPageSize);
    // Puts an ID behind those still to be read (while canFetchMore()).
    void appendPagedId(int id);
    bool isPaged() const;
    bool canFetchMore() const;
    void fetchMore(); // one more page
    void fetchAll();
    void refetch();

    // The colours a cell is drawn in (text, background), for the owner and for checks.
    struct CellColors {
        QColor text;
        QColor background;
    };
    CellColors cellColors(int row, int column) const;

    static QColor selectedText();        // white
    static QColor selectedBackground();  // blue
    static QColor highlightBackground(); // green, selected or not
    static QColor normalText();          // dark grey
    static QColor oddRowBackground();    // light grey
    static QColor evenRowBackground();   // white

signals:
    void itemClicked(int row, int column);
    void itemDoubleClicked(int row, int column);
    void selectedRowChanged(int row); // -1 when none
    void checkChanged(int row, bool checked);

private:
    struct PagedIds;
    void setPagedIds(const std::shared_ptr<PagedIds>& paged, RowsOf rowsOf, int pageSize);
    void updateFirstSelected();
    void widenForRows(int first, int last);

    ListModel* m_model;
    // The IDs setPagedIds() pages over, and the next one to read.
    struct PagedIds {
        QVector<int> ids; // those read so far
        qsizetype cursor = 0;
        MoreIds more;          // reads on; empty once every ID is read
        QVector<int> appended; // appendPagedId() while IDs were still to be read
    };
    std::shared_ptr<PagedIds> m_pagedIds;
    std::array<int, kHighlightSlots> m_highlight;
    int m_firstSelected = -1;
    QList<int> m_widenToFit;
};

} // namespace selvo::gui
