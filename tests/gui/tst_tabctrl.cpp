#include "gui/widgets/C360TabCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

using namespace selvo::gui;

namespace {

const QColor kGround(0xE3, 0xE6, 0xEB);
const QColor kBar(0xFF, 0xC8, 0x3C);

struct Strip {
    C360TabCtrl tabs;
    QList<QWidget*> pages;
    explicit Strip(int n = 4) {
        const QStringList captions{QStringLiteral("销售"), QStringLiteral("商品"), QStringLiteral("会员"),
                                   QStringLiteral("系统管理")};
        for (int i = 0; i < n; ++i) {
            pages << new QWidget;
            tabs.addTab(captions[i], pages.last());
        }
        tabs.resize(800, 500);
        tabs.show();
    }
    QPoint centreOf(int index) const { return tabs.tabRect(index).center(); }
    void click(int index) {
        QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->mapFrom(&tabs, centreOf(index)));
    }
};

bool barDrawn(const QImage& image, const QRect& tab) {
    return image.pixelColor(tab.center().x(), tab.y() + tab.height() - 4) == kBar &&
           image.pixelColor(tab.center().x(), tab.y() + tab.height() - 3) == kBar;
}

} // namespace

class TestTabCtrl final : public QObject {
    Q_OBJECT

private slots:
    void emptyStripIsOnlyGround() {
        C360TabCtrl tabs;
        tabs.resize(200, 80);
        const QImage image = tabs.grab().toImage();
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                QCOMPARE(image.pixelColor(x, y), kGround);
        QCOMPARE(tabs.currentIndex(), -1);
    }

    void tabsPagesAndFrame() {
        Strip strip;
        QVERIFY(QTest::qWaitForWindowExposed(&strip.tabs));
        QCOMPARE(strip.tabs.count(), 4);
        QCOMPARE(strip.tabs.currentIndex(), 0);
        QVERIFY(strip.pages[0]->isVisible());
        QVERIFY(!strip.pages[1]->isVisible());
        QCOMPARE(strip.pages[0]->geometry(), QRect(2, 35, 796, 463));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(strip.tabs.tabRect(i).height(), 35);
            QVERIFY(strip.tabs.tabRect(i).width() >= 100);
        }
        QVERIFY(strip.tabs.tabRect(1).left() > strip.tabs.tabRect(0).right());

        QImage image = strip.tabs.grab().toImage();
        QVERIFY(barDrawn(image, strip.tabs.tabRect(0)));  // the chosen tab
        QVERIFY(!barDrawn(image, strip.tabs.tabRect(2))); // not the others
        const int lineY = 34;
        QCOMPARE(image.pixelColor(strip.tabs.tabRect(3).right() + 20, lineY), QColor(0xD3, 0xD3, 0xD3));
        QCOMPARE(image.pixelColor(2, 200), QColor(0xD3, 0xD3, 0xD3));
        QCOMPARE(image.pixelColor(799, 200), QColor(0xD3, 0xD3, 0xD3));
        QCOMPARE(image.pixelColor(0, 200), kGround);
        QCOMPARE(image.pixelColor(strip.tabs.tabRect(3).right() + 20, 10), kGround);

        strip.click(2);
        QCOMPARE(strip.tabs.currentIndex(), 2);
        QVERIFY(strip.pages[2]->isVisible());
        QVERIFY(!strip.pages[0]->isVisible());
        image = strip.tabs.grab().toImage();
        QVERIFY(barDrawn(image, strip.tabs.tabRect(2)));
    }

    void hoverMarksATab() {
        Strip strip;
        QVERIFY(QTest::qWaitForWindowExposed(&strip.tabs));
        QWidget* bar = strip.tabs.tabBar();
        QTest::mouseMove(bar, bar->mapFrom(&strip.tabs, strip.centreOf(3)));
        QTRY_VERIFY(barDrawn(strip.tabs.grab().toImage(), strip.tabs.tabRect(3)));
        // The bottom two pixels of a tab do not count as inside it.
        const QRect tab = strip.tabs.tabRect(3);
        QTest::mouseMove(bar, bar->mapFrom(&strip.tabs, QPoint(tab.center().x(), tab.bottom())));
        QTRY_VERIFY(!barDrawn(strip.tabs.grab().toImage(), tab));
    }

    void refusedChoiceKeepsTheTab() {
        Strip strip;
        QVERIFY(QTest::qWaitForWindowExposed(&strip.tabs));
        QList<QPair<int, int>> asked;
        strip.tabs.setChangeGuard([&](int from, int to) {
            asked << qMakePair(from, to);
            return to != 1;
        });
        QSignalSpy changed(&strip.tabs, &C360TabCtrl::currentChanged);
        strip.click(3);
        QCOMPARE(strip.tabs.currentIndex(), 3);
        strip.click(1);
        QCOMPARE(strip.tabs.currentIndex(), 3);
        QVERIFY(strip.pages[3]->isVisible());
        QVERIFY(!strip.pages[1]->isVisible());
        QCOMPARE(asked, (QList<QPair<int, int>>{{0, 3}, {3, 1}}));
        QCOMPARE(changed.size(), 1);
        QVERIFY(barDrawn(strip.tabs.grab().toImage(), strip.tabs.tabRect(3)));

        // The wheel over the tabs is a choice of the operator too.
        for (int i = 0; i < 4; ++i) {
            const QPointF at = strip.tabs.tabBar()->mapFrom(&strip.tabs, strip.centreOf(2));
            QWheelEvent wheel(at, strip.tabs.tabBar()->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {},
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(strip.tabs.tabBar(), &wheel);
            QVERIFY(strip.tabs.currentIndex() != 1);
        }
        QVERIFY(asked.contains(qMakePair(2, 1))); // asked, and refused
        QVERIFY(!strip.pages[1]->isVisible());
        strip.tabs.setCurrentIndex(3);
        asked.clear();
        changed.clear();

        // From code the guard is not asked.
        strip.tabs.setCurrentIndex(1);
        QCOMPARE(strip.tabs.currentIndex(), 1);
        QVERIFY(asked.isEmpty());
        QCOMPARE(changed.size(), 1);
    }

    void tabsAreAccessibleByCaption() {
        Strip strip;
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(strip.tabs.tabBar());
        QVERIFY(bar);
        QStringList names;
        for (int i = 0; i < bar->childCount(); ++i)
            names << bar->child(i)->text(QAccessible::Name);
        QVERIFY2(names.contains(QStringLiteral("系统管理")), qPrintable(names.join(u',')));
    }
};

QTEST_MAIN(TestTabCtrl)
#include "tst_tabctrl.moc"
