// The list without a row limit: 200,000 rows behind a CListCtrlPlus fed page by page.
// Prints the time to open the list, to page through it and to paint, and the memory used.
// Run with QT_QPA_PLATFORM=offscreen.
#include "gui/widgets/CListCtrlPlus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>

#include <cstdio>

using selvo::gui::CListCtrlPlus;

namespace {

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

QList<CListCtrlPlus::Row> memberPage(int offset, int limit) {
    constexpr int kTotal = 200000;
    QList<CListCtrlPlus::Row> rows;
    for (int i = offset; i < kTotal && i < offset + limit; ++i) {
        rows << CListCtrlPlus::Row{{QString::number(i + 1),
                                    QStringLiteral("VIP%1").arg(i, 6, 10, QLatin1Char('0')),
                                    QStringLiteral("会员%1").arg(i),
                                    QStringLiteral("1380000%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
                                    QStringLiteral("￥%1.00").arg(i % 997), QString::number(i % 500),
                                    QStringLiteral("正常"), QStringLiteral("2024-05-01 10:00:00")},
                                   i + 1};
    }
    return rows;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CListCtrlPlus list;
    const QStringList captions{QStringLiteral("ID"),   QStringLiteral("会员卡号"), QStringLiteral("会员名称"),
                               QStringLiteral("手机"), QStringLiteral("余额"),     QStringLiteral("积分"),
                               QStringLiteral("状态"), QStringLiteral("登记日期")};
    for (int c = 0; c < captions.size(); ++c)
        list.addColumn(captions[c], c == 0 ? 0 : 100);
    list.setHighlightColumns({4});
    list.resize(900, 600);
    list.show();
    app.processEvents();
    const long baseKb = residentKb();

    QElapsedTimer t;
    t.start();
    list.setPagedSource(&memberPage, 500);
    app.processEvents();
    std::printf("open (first page):            %8.2f ms, %d rows loaded\n", t.nsecsElapsed() / 1e6,
                list.rowCount());

    t.restart();
    int scrolls = 0;
    for (int i = 0; i < 20; ++i, ++scrolls) {
        list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
        app.processEvents();
    }
    std::printf("20 scrolls to the end:        %8.2f ms, %d rows loaded\n", t.nsecsElapsed() / 1e6,
                list.rowCount());

    t.restart();
    for (int offset = 0; offset < 200000; offset += 500)
        (void)memberPage(offset, 500);
    std::printf("making the rows alone:        %8.2f ms\n", t.nsecsElapsed() / 1e6);

    t.restart();
    list.fetchAll();
    app.processEvents();
    std::printf("fetch all:                    %8.2f ms, %d rows loaded\n", t.nsecsElapsed() / 1e6,
                list.rowCount());
    std::printf("memory for the rows:          %8.1f MB\n", (residentKb() - baseKb) / 1024.0);

    t.restart();
    constexpr int kPaints = 50;
    for (int i = 0; i < kPaints; ++i) {
        list.verticalScrollBar()->setValue(i * 3000);
        list.viewport()->repaint();
    }
    std::printf("scroll + paint one screen:    %8.2f ms each\n", t.nsecsElapsed() / 1e6 / kPaints);

    t.restart();
    list.setSelectedRow(199999);
    app.processEvents();
    std::printf("select and show the last row: %8.2f ms\n", t.nsecsElapsed() / 1e6);
    return 0;
}
