#include "gui/widgets/CListCtrlPlus.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

using namespace selvo::gui;
using namespace Qt::StringLiterals;

namespace {

// How many pixels of a cell come close to `colour`.
int pixelsNear(const QImage& image, const QRect& rect, const QColor& colour, int tolerance) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) <= tolerance && qAbs(c.green() - colour.green()) <= tolerance &&
                qAbs(c.blue() - colour.blue()) <= tolerance)
                ++count;
        }
    return count;
}

// A source of `total` generated rows that remembers which pages were asked for.
struct CountingSource {
    int total = 0;
    QList<QPair<int, int>> calls;
    CListCtrlPlus::PageSource source() {
        return [this](int offset, int limit) {
            calls << qMakePair(offset, limit);
            QList<CListCtrlPlus::Row> rows;
            for (int i = offset; i < total && i < offset + limit; ++i)
                rows << CListCtrlPlus::Row{{QString::number(i), QStringLiteral("会员%1").arg(i)}, i};
            return rows;
        };
    }
};

} // namespace

class TestListCtrlPlus final : public QObject {
    Q_OBJECT

private slots:
    void cellColours_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("background");
        const QColor white(255, 255, 255), green(0, 196, 0), blue(49, 106, 197), grey(56, 56, 56),
            light(240, 240, 240);
        QTest::newRow("even row plain cell") << 0 << 1 << grey << white;
        QTest::newRow("odd row plain cell") << 3 << 1 << grey << light;
        QTest::newRow("odd row highlighted column") << 3 << 2 << white << green;
        QTest::newRow("even row highlighted column") << 2 << 2 << white << green;
        QTest::newRow("selected row plain cell") << 1 << 3 << white << blue;
        QTest::newRow("selected row highlighted column") << 1 << 2 << white << green;
        QTest::newRow("second selected row looks unselected") << 4 << 1 << grey << white;
    }
    void cellColours() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QColor, text);
        QFETCH(QColor, background);

        CListCtrlPlus list;
        list.setSelectionMode(QAbstractItemView::MultiSelection);
        for (int c = 0; c < 4; ++c)
            list.addColumn(QStringLiteral("列%1").arg(c), 90);
        for (int r = 0; r < 6; ++r)
            list.addRow({QStringLiteral("8888"), QStringLiteral("8888"), QStringLiteral("8888"),
                         QStringLiteral("8888")});
        list.setHighlightColumns({2});
        list.selectRow(1);
        list.selectRow(4);
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.selectedRows(), (QList<int>{1, 4}));
        list.resize(420, 300);

        const CListCtrlPlus::CellColors colors = list.cellColors(row, column);
        QCOMPARE(colors.text, text);
        QCOMPARE(colors.background, background);

        // And that is what is drawn.
        const QImage image = list.viewport()->grab().toImage();
        const QRect cell = list.visualRect(list.model()->index(row, column)).adjusted(1, 1, -2, -2);
        QCOMPARE(image.pixelColor(cell.left() + 1, cell.center().y()), background);
        QVERIFY2(pixelsNear(image, cell, text, 30) >= 5, "no text drawn in the text colour");
    }

    void columnsAndHiddenColumns() {
        CListCtrlPlus list;
        list.addColumn(QStringLiteral("ID"), 0);
        list.addColumn(QStringLiteral("会员名称"), 120);
        list.addColumn(QStringLiteral("余额"), 80, Qt::AlignRight);
        list.addRow({QStringLiteral("7"), QStringLiteral("张三"), QStringLiteral("￥3.00")}, 7);
        QCOMPARE(list.columnCount(), 3);
        QVERIFY(list.isColumnHidden(0));
        QCOMPARE(list.columnWidthOf(0), 0);
        QCOMPARE(list.columnWidthOf(1), 120);
        QCOMPARE(list.itemText(0, 0), QStringLiteral("7"));
        QCOMPARE(list.columnCaptions(), (QStringList{u"ID"_s, u"会员名称"_s, u"余额"_s}));
        QCOMPARE(list.model()->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignRight | Qt::AlignVCenter);

        // A column put in the middle moves the later texts along.
        list.insertColumn(1, QStringLiteral("卡号"), 100);
        QCOMPARE(list.rowTexts(0), (QStringList{u"7"_s, QString(), u"张三"_s, u"￥3.00"_s}));
        QVERIFY(list.isColumnHidden(0));
        QVERIFY(!list.isColumnHidden(1));

        list.setColumnWidthOf(0, 50);
        QCOMPARE(list.columnWidthOf(0), 50);
        list.setItemText(0, 1, QStringLiteral("A001"));
        QCOMPARE(list.itemText(0, 1), QStringLiteral("A001"));
        QCOMPARE(list.itemText(0, 9), QString());
        QCOMPARE(list.itemText(5, 0), QString());
    }

    void rowsDataAndSelection() {
        CListCtrlPlus list;
        list.addColumn(QStringLiteral("名称"), 100);
        list.addColumn(QStringLiteral("数量"), 60);
        list.addRow({QStringLiteral("苹果"), QStringLiteral("1")}, 11);
        list.addRow({QStringLiteral("梨"), QStringLiteral("2")}, 12);
        list.insertRow(0, {QStringLiteral("桃")}, 10);
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.itemData(0).toInt(), 10);
        QCOMPARE(list.findRowByData(12), 2);
        QCOMPARE(list.findRowByData(99), -1);
        list.setItemData(0, 20);
        QCOMPARE(list.itemData(0).toInt(), 20);
        QVERIFY(!list.itemData(7).isValid());

        QSignalSpy changed(&list, &CListCtrlPlus::selectedRowChanged);
        QCOMPARE(list.selectedRow(), -1);
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QRect second = list.visualRect(list.model()->index(2, 1));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(list.selectedRow(), 2);
        QCOMPARE(changed.last().first().toInt(), 2);
        // Whole rows are selected.
        QVERIFY(list.selectionModel()->isRowSelected(2, {}));

        list.removeRow(2);
        QCOMPARE(list.selectedRow(), -1);
        list.setSelectedRow(1);
        QCOMPARE(list.selectedRow(), 1);
        list.clear();
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(list.selectedRow(), -1);
        QCOMPARE(list.columnCount(), 2);
    }

    void checkBoxes() {
        CListCtrlPlus list;
        list.addColumn(QStringLiteral("商品"), 150);
        for (int r = 0; r < 4; ++r)
            list.addRow({QStringLiteral("商品%1").arg(r)}, r);
        QVERIFY(!list.model()->index(0, 0).data(Qt::CheckStateRole).isValid());
        list.setCheckBoxes(true);
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));

        QSignalSpy spy(&list, &CListCtrlPlus::checkChanged);
        // Click on the check box of row 2, where the style draws it.
        QStyleOptionViewItem option;
        option.initFrom(&list);
        option.rect = list.visualRect(list.model()->index(2, 0));
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        option.state |= QStyle::State_Enabled;
        const QRect box = list.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &list);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, box.center());
        QVERIFY(list.isChecked(2));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(0).toInt(), 2);
        QCOMPARE(spy.first().at(1).toBool(), true);

        list.setChecked(0, true);
        QCOMPARE(list.checkedRows(), (QList<int>{0, 2}));
        list.setAllChecked(false);
        QVERIFY(list.checkedRows().isEmpty());
        list.setAllChecked(true);
        QCOMPARE(list.checkedRows().size(), 4);
        list.setCheckBoxes(false);
        QVERIFY(!(list.model()->flags(list.model()->index(0, 0)) & Qt::ItemIsUserCheckable));
    }

    // 200,000 rows behind the list: only the pages the view scrolls to are fetched.
    void pagedFetchingFollowsTheScrollBar() {
        CountingSource members;
        members.total = 200000;
        CListCtrlPlus list;
        list.addColumn(QStringLiteral("编号"), 80);
        list.addColumn(QStringLiteral("会员名称"), 120);
        list.setPagedSource(members.source(), 100);
        QVERIFY(list.isPaged());
        QCOMPARE(list.rowCount(), 100);
        QCOMPARE(members.calls, (QList<QPair<int, int>>{{0, 100}}));

        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QApplication::processEvents();
        const int shown = list.rowCount();
        for (int i = 0; i < 5; ++i) {
            list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
            QApplication::processEvents();
        }
        QVERIFY2(list.rowCount() > shown, "scrolling to the end fetched nothing");
        QVERIFY(list.rowCount() < 2000);
        // Pages are consecutive and never fetched twice.
        for (int i = 0; i < members.calls.size(); ++i)
            QCOMPARE(members.calls[i].first, i * 100);
        QCOMPARE(list.rowCount(), members.calls.size() * 100);
        QCOMPARE(list.itemText(list.rowCount() - 1, 1), QStringLiteral("会员%1").arg(list.rowCount() - 1));
        QCOMPARE(list.itemData(150).toInt(), 150);
        QVERIFY(list.canFetchMore());
    }

    void pagedEndsOnAShortOrEmptyPage_data() {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("calls");
        QTest::newRow("short last page") << 250 << 3;
        QTest::newRow("exact pages end on an empty one") << 200 << 3;
        QTest::newRow("empty list") << 0 << 1;
    }
    void pagedEndsOnAShortOrEmptyPage() {
        QFETCH(int, total);
        QFETCH(int, calls);
        CountingSource source;
        source.total = total;
        CListCtrlPlus list;
        list.addColumn(QStringLiteral("编号"), 80);
        list.setPagedSource(source.source(), 100);
        list.fetchAll();
        QCOMPARE(list.rowCount(), total);
        QCOMPARE(source.calls.size(), calls);
        QVERIFY(!list.canFetchMore());

        // Starting again reads from the first page; clear() forgets the source.
        source.total = 30;
        list.refetch();
        QCOMPARE(list.rowCount(), 30);
        list.clear();
        QVERIFY(!list.isPaged());
        QCOMPARE(list.rowCount(), 0);
    }

    // IDs read as the pages need them: rows gone meanwhile are skipped, an ID appended while more
    // were to be read follows them all, and starting again does not read the IDs again.
    void pagedIdsAreReadAsNeeded() {
        QList<int> asked;
        int next = 1;
        const auto more = [&](int count) {
            asked << count;
            QVector<int> ids;
            while (ids.size() < count && next <= 450)
                ids << next++;
            return ids;
        };
        const auto rowsOf = [](const QVector<int>& ids) {
            QList<CListCtrlPlus::Row> rows;
            for (const int id : ids)
                if (id % 10 != 0) // deleted by another till
                    rows.append({{QString::number(id)}, id});
            return rows;
        };
        CListCtrlPlus list;
        list.addColumn(QStringLiteral("编号"), 80);
        list.setPagedIds(more, rowsOf, 100);
        QCOMPARE(list.rowCount(), 100);
        QCOMPARE(list.itemData(99).toInt(), 111);
        QVERIFY(next <= 120);
        list.appendPagedId(9999);
        list.fetchAll();
        QCOMPARE(list.rowCount(), 450 - 45 + 1);
        QCOMPARE(list.itemData(list.rowCount() - 2).toInt(), 449);
        QCOMPARE(list.itemData(list.rowCount() - 1).toInt(), 9999);
        const qsizetype calls = asked.size();
        list.refetch();
        list.fetchAll();
        QCOMPARE(list.rowCount(), 450 - 45 + 1);
        QCOMPARE(asked.size(), calls);
        list.appendPagedId(10001); // once every ID is read, straight behind them
        list.refetch();
        list.fetchAll();
        QCOMPARE(list.itemData(list.rowCount() - 1).toInt(), 10001);
    }

    void checkBoxesAndDataInPagedRows() {
        CountingSource source;
        source.total = 1000;
        CListCtrlPlus list;
        list.addColumn(QStringLiteral("编号"), 80);
        list.setCheckBoxes(true);
        list.setPagedSource(source.source(), 100);
        list.setChecked(5, true);
        list.fetchMore();
        list.setChecked(150, true);
        QCOMPARE(list.checkedRows(), (QList<int>{5, 150}));
        QCOMPARE(list.itemData(150).toInt(), 150);
    }
};

QTEST_MAIN(TestListCtrlPlus)
#include "tst_listctrlplus.moc"
