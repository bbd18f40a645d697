#include "gui/app/Messages.h"
#include "gui/app/Toast.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

using namespace selvo::gui;

namespace {

// A dialog with an edit that has the focus and a default button, like every form screen.
struct Form {
    QDialog dialog;
    QLineEdit* edit = new QLineEdit(&dialog);
    QPushButton* ok = new QPushButton(QStringLiteral("确定"), &dialog);
    Form() {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(ok);
        ok->setDefault(true);
        dialog.setGeometry(100, 80, 420, 300);
        dialog.show();
        dialog.activateWindow();
        edit->setFocus();
    }
};

bool gone(const QPointer<CToastDlg>& toast) {
    return toast.isNull() || !toast->isVisible();
}

} // namespace

class TestToast final : public QObject {
    Q_OBJECT

private slots:
    void colourValuesHaveRedInTheLowByte() {
        QCOMPARE(ColorFromRef(kToastRed), QColor(255, 0, 0));
        QCOMPARE(ColorFromRef(kToastBlue), QColor(19, 189, 253));
    }

    void shownCentredOverItsOwnerAndRecorded() {
        Form form;
        QVERIFY(QTest::qWaitForWindowActive(&form.dialog));
        MessageRecorder messages;
        QPointer<CToastDlg> toast = ToastSuccess(form.edit, QStringLiteral("保存成功"));
        QVERIFY(toast->isVisible());
        QCOMPARE(toast->accessibleName(), QStringLiteral("保存成功"));
        QCOMPARE(toast->height(), CToastDlg::kHeight);
        QVERIFY(toast->width() >= QFontMetrics(toast->font()).horizontalAdvance(toast->text()) + 40);
        const QRect over = form.dialog.frameGeometry();
        QVERIFY(qAbs(toast->geometry().center().x() - over.center().x()) <= 1);
        QVERIFY(qAbs(toast->geometry().center().y() - over.center().y()) <= 1);

        QCOMPARE(messages.toasts.size(), 1);
        const ToastRecord& seen = messages.toasts.first();
        QCOMPARE(seen.text, QStringLiteral("保存成功"));
        QCOMPARE(seen.colour, kToastBlue);
        QCOMPARE(seen.seconds, 1.5);
        QCOMPARE(seen.mode, 0);
        QCOMPARE(seen.owner.data(), &form.dialog); // the window that raised it
        delete toast;
    }

    void paintedInItsColourWithRoundCorners_data() {
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("red") << kToastRed << QColor(255, 0, 0);
        QTest::newRow("blue") << kToastBlue << QColor(19, 189, 253);
    }
    void paintedInItsColourWithRoundCorners() {
        QFETCH(quint32, colour);
        QFETCH(QColor, expected);
        QPointer<CToastDlg> toast = ShowToast(QStringLiteral("颜色"), colour, 1.5, 0, nullptr);
        const QImage image = toast->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QColor inside = image.pixelColor(6, image.height() / 2);
        QVERIFY2(qAbs(inside.alpha() - CToastDlg::kAlpha) <= 1, qPrintable(inside.name(QColor::HexArgb)));
        QVERIFY2(qAbs(inside.red() - expected.red()) <= 2 && qAbs(inside.green() - expected.green()) <= 2 &&
                     qAbs(inside.blue() - expected.blue()) <= 2,
                 qPrintable(inside.name(QColor::HexArgb)));
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0); // the corner is cut round
        delete toast;
    }

    void placedByMode_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("withOwner");
        QTest::newRow("1 over owner") << 1 << true;
        QTest::newRow("1 on screen") << 1 << false;
        QTest::newRow("2 over owner") << 2 << true;
        QTest::newRow("2 on screen") << 2 << false;
    }
    void placedByMode() {
        QFETCH(int, mode);
        QFETCH(bool, withOwner);
        Form form;
        QPointer<CToastDlg> toast =
            ShowToast(QStringLiteral("位置"), kToastBlue, 1.5, mode, withOwner ? &form.dialog : nullptr);
        const QRect ref =
            withOwner ? form.dialog.frameGeometry() : QGuiApplication::primaryScreen()->geometry();
        const QRect g = toast->geometry();
        const int refRight = ref.x() + ref.width();
        const int refBottom = ref.y() + ref.height();
        if (mode == 1) {
            QVERIFY(qAbs(g.center().x() - ref.center().x()) <= 1);
            QCOMPARE(g.y() + g.height(), refBottom - 50);
        } else if (withOwner) {
            QCOMPARE(g.x() + g.width(), refRight - 30);
            QCOMPARE(g.y() + g.height(), refBottom - 50);
        } else {
            QCOMPARE(g.x() + g.width(), refRight - 100);
            QCOMPARE(g.y() + g.height(), refBottom - 5);
        }
        delete toast;
    }

    // Drives the countdown by hand: each toast closes after exactly its own number of ticks.
    void twoToastsEachLiveTheirTime() {
        Form form;
        QPointer<CToastDlg> longer = ToastError(&form.dialog, QStringLiteral("对不起，您没有此操作权限"));
        QPointer<CToastDlg> shorter = ShowToast(QStringLiteral("消费成功"), kToastBlue, 0.5, 0, &form.dialog);
        int longerTicks = 0;
        int shorterTicks = 0;
        for (int step = 1; step <= 30; ++step) {
            if (!gone(longer)) {
                longer->tick();
                longerTicks = step;
            }
            if (!gone(shorter)) {
                shorter->tick();
                shorterTicks = step;
            }
        }
        QCOMPARE(shorterTicks, 5);
        QCOMPARE(longerTicks, 15);
        QTRY_VERIFY(longer.isNull() && shorter.isNull()); // they delete themselves
    }

    // The real timer: two short toasts at once, the shorter goes first, the other stays.
    void twoToastsOnTheRealTimer() {
        Form form;
        QPointer<CToastDlg> first = ShowToast(QStringLiteral("一"), kToastBlue, 0.2, 0, &form.dialog);
        QPointer<CToastDlg> second = ShowToast(QStringLiteral("二"), kToastRed, 0.8, 0, &form.dialog);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);
        QVERIFY(!second.isNull() && second->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 3000);
    }

    void keysNeverCloseIt_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void keysNeverCloseIt() {
        QFETCH(int, key);
        Form form;
        QPointer<CToastDlg> toast = ToastError(&form.dialog, QStringLiteral("请输入会员姓名"));
        const qint64 before = toast->remainingMs();
        QTest::keyClick(toast.data(), Qt::Key(key));
        QTest::keyClick(form.edit, Qt::Key(key)); // and in the form below it
        QVERIFY(!toast.isNull() && toast->isVisible());
        QCOMPARE(toast->remainingMs(), before);
        delete toast;
    }

    void neverTakesFocusOrInput() {
        Form form;
        QVERIFY(QTest::qWaitForWindowActive(&form.dialog));
        QCOMPARE(QApplication::focusWidget(), form.edit);
        QPointer<CToastDlg> toast = ToastError(&form.dialog, QStringLiteral("会员卡号不能为空"));
        QTest::qWait(50);
        QCOMPARE(QApplication::activeWindow(), &form.dialog);
        QCOMPARE(QApplication::focusWidget(), form.edit);
        QVERIFY(!toast->isEnabled());
        QVERIFY(toast->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(toast->windowFlags().testFlag(Qt::WindowTransparentForInput));
        // Typing goes on into the form below.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12"));
        QCOMPARE(form.edit->text(), QStringLiteral("12"));
        delete toast;
    }

    void badSecondsStillEnd_data() {
        QTest::addColumn<double>("seconds");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -3.0;
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("inf") << std::numeric_limits<double>::infinity();
    }
    void badSecondsStillEnd() {
        QFETCH(double, seconds);
        QPointer<CToastDlg> toast = ShowToast(QStringLiteral("x"), kToastRed, seconds, 0, nullptr);
        toast->tick();
        QVERIFY(gone(toast));
    }

    void closesWithItsOwner() {
        auto* form = new Form;
        QPointer<CToastDlg> toast = ToastSuccess(&form->dialog, QStringLiteral("保存成功"));
        delete form;
        QVERIFY(toast.isNull());
    }

    void longTextStaysOnScreen() {
        const QString text(2000, QChar(0x4E2D));
        QPointer<CToastDlg> toast = ShowToast(text, kToastRed, 1.5, 0, nullptr);
        QVERIFY(toast->width() <= QGuiApplication::primaryScreen()->availableGeometry().width());
        QCOMPARE(toast->accessibleName(), text);
        delete toast;
    }
};

QTEST_MAIN(TestToast)
#include "tst_toast.moc"
