// What a cashier and a screen reader meet on the sale, settlement, fast sale, member list and
// recharge screens: values read through QAccessible (the interface a screen reader or a
// UI-automation tool uses), radio buttons switched by keyboard and by accessibility actions,
// Qt's standard boxes in Chinese, toasts that let clicks through, the focus after a refusal and
// texts that show whole on a 1024×768 screen.

#include "GuiDriver.h"
#include "TestShop.h"

#include "core/store/Vocabulary.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/app/Translations.h"
#include "gui/members/CMemManDlg.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/members/CTopupDlg.h"
#include "gui/sales/CFastSaleDlg.h"
#include "gui/sales/CSaleDlg.h"
#include "gui/sales/CSettlementDlg.h"
#include "gui/widgets/CEditPlus.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QVBoxLayout>

#include <functional>
#include <optional>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {

// The first node under `node` (itself included) that `match` accepts, visible ones only.
QAccessibleInterface* findAccessible(QAccessibleInterface* node,
                                     const std::function<bool(QAccessibleInterface*)>& match) {
    if (!node || node->state().invisible)
        return nullptr;
    if (match(node))
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface* found = findAccessible(node->child(i), match))
            return found;
    }
    return nullptr;
}

// What a screen reader hears for the caption `caption` on `root`: the field the caption labels
// (its Labelled relation): an edit's name and value, or a label's text.
struct Heard {
    QString name;
    QString value;
};
std::optional<Heard> heard(QWidget* root, const QString& caption) {
    QAccessibleInterface* label =
        findAccessible(QAccessible::queryAccessibleInterface(root), [&](QAccessibleInterface* node) {
            return node->role() == QAccessible::StaticText && node->text(QAccessible::Name) == caption;
        });
    if (!label)
        return std::nullopt;
    const auto labelled = label->relations(QAccessible::Labelled);
    if (labelled.isEmpty())
        return std::nullopt;
    QAccessibleInterface* field = labelled.first().first;
    // The field names its caption back.
    const auto labels = field->relations(QAccessible::Label);
    bool namedBack = false;
    for (const auto& relation : labels)
        namedBack = namedBack || relation.first == label;
    if (!namedBack)
        return std::nullopt;
    if (field->role() == QAccessible::EditableText)
        return Heard{field->text(QAccessible::Name), field->text(QAccessible::Value)};
    return Heard{field->text(QAccessible::Name), field->text(QAccessible::Name)};
}

QString valueHeard(QWidget* root, const QString& caption) {
    const auto h = heard(root, caption);
    return h ? h->value : QStringLiteral("<no field named %1>").arg(caption);
}

// Its accessible name and value are what the screen reader says of an edit.
void expectEdit(QWidget* root, const QString& caption, const QString& value) {
    const auto h = heard(root, caption);
    QVERIFY2(h, qPrintable(caption));
    QCOMPARE(h->name, caption);
    QCOMPARE(h->value, value);
}

QAccessibleActionInterface* actionsOf(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->actionInterface() : nullptr;
}

// Ticks `radio` the way `how` says: "mouse", "arrow key" (from the ticked button before it) or
// "toggle action" (the accessibility action a radio button offers).
void tick(QRadioButton* radio, QRadioButton* before, const QString& how) {
    if (how == QLatin1String("mouse")) {
        QTest::mouseClick(radio, Qt::LeftButton);
    } else if (how == QLatin1String("arrow key")) {
        before->setFocus();
        QTest::keyClick(before, Qt::Key_Right);
    } else {
        QAccessibleActionInterface* actions = actionsOf(radio);
        QVERIFY(actions);
        const QString action = QAccessibleActionInterface::toggleAction();
        QVERIFY2(actions->actionNames().contains(action), qPrintable(actions->actionNames().join(u',')));
        actions->doAction(action);
    }
    QTRY_VERIFY(radio->isChecked());
}

void radioWays() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"mouse", "arrow key", "toggle action"})
        QTest::newRow(how) << QString::fromUtf8(how);
}

// The room a line edit leaves for its text, as it lays itself out.
int textRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    return contents.width() - edit->textMargins().left() - edit->textMargins().right() - 2 * 2;
}

bool showsWhole(const QLineEdit* edit) {
    return edit->isVisible() && edit->fontMetrics().horizontalAdvance(edit->text()) < textRoom(edit);
}

// A list cell shows its text whole (not cut short with "…") when the text and the style's
// margins fit the column.
bool cellShowsWhole(const CListCtrlPlus* list, int row, int column) {
    const int margin = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    return list->fontMetrics().horizontalAdvance(list->itemText(row, column)) + margin <=
           list->columnWidth(column);
}

} // namespace

class TestAccessibility final : public QObject {
    Q_OBJECT

private slots:
    // The program installs them at start-up; a test program has no such start.
    void initTestCase() { QVERIFY(InstallQtTranslations(*QCoreApplication::instance())); }

    // ---- 1. values a screen reader can read

    void settlementValuesAreHeard() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.interalToYuan = 100;
        const int member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 20, 1200);
        MessageRecorder messages;
        CSettlementDlg dlg(shop.ctx, member, 35.5);
        dlg.resize(600, 500);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("会员姓名：")), QStringLiteral("张三"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("手机号码：")), QStringLiteral("13800000001"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("帐户余额：")), QStringLiteral("￥20.00"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("剩余积分：")), QStringLiteral("1200"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("应付金额：")), QStringLiteral("￥35.50"));
        expectEdit(&dlg, QStringLiteral("收银："), QStringLiteral("￥35.50"));
        // The change line is heard as what it says.
        dlg.cashEdit()->setText(QStringLiteral("￥50"));
        QAccessibleInterface* change = QAccessible::queryAccessibleInterface(dlg.changeLine());
        QCOMPARE(change->text(QAccessible::Name), QStringLiteral("        找零：   ￥ 14.50"));

        dlg.balanceRadio()->click();
        expectEdit(&dlg, QStringLiteral("余额不足，请补收："), QStringLiteral("￥15.50"));
        expectEdit(&dlg, QStringLiteral("收银："), QStringLiteral("￥15.50"));
        dlg.extraCashEdit()->setText(QStringLiteral("￥20"));
        QCOMPARE(QAccessible::queryAccessibleInterface(dlg.changeRadio())->text(QAccessible::Name),
                 QStringLiteral("找零￥4.50"));

        dlg.pointsRadio()->click();
        QCOMPARE(valueHeard(&dlg, QStringLiteral("所需积分：")), QStringLiteral("3600"));
    }

    void fastSaleMemberIsHeard() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addMember(QStringLiteral("李四"), QStringLiteral("13900000001"), 12.5, 7);
        MessageRecorder messages;
        CFastSaleDlg dlg(shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) { pick->accept(); });
        QVERIFY(dlg.chooseMember());
        QCOMPARE(valueHeard(&dlg, QStringLiteral("姓名：")), QStringLiteral("李四"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("手机：")), QStringLiteral("13900000001"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("余额：")), QStringLiteral("￥12.50"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("积分：")), QStringLiteral("7"));
        dlg.amountEdit()->setText(QStringLiteral("30"));
        expectEdit(&dlg, QStringLiteral("消费金额："), QStringLiteral("30"));
        expectEdit(&dlg, QStringLiteral("获得积分："), QStringLiteral("30"));
    }

    void rechargeDialogIsHeard() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("王五"), QStringLiteral("13700000001"), 20, 3);
        MessageRecorder messages;
        CTopupDlg dlg(shop.ctx, member);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("会员姓名：")), QStringLiteral("王五"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("会员手机：")), QStringLiteral("13700000001"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("当前余额:")), QStringLiteral("￥20.00"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("当前积分：")), QStringLiteral("3"));
        dlg.amountEdit()->setText(QStringLiteral("￥100"));
        dlg.bonusEdit()->setText(QStringLiteral("￥10"));
        expectEdit(&dlg, QStringLiteral("充值金额："), QStringLiteral("￥100"));
        expectEdit(&dlg, QStringLiteral("赠送金额："), QStringLiteral("￥10"));
        QCOMPARE(valueHeard(&dlg, QStringLiteral("合计充值：")), QStringLiteral("￥110.00"));
        dlg.deductRadio()->click();
        expectEdit(&dlg, QStringLiteral("扣款金额："), QStringLiteral("￥0.00"));
    }

    void memberTotalsAreHeard() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addMember(QStringLiteral("甲"), QStringLiteral("13600000001"), 12.5, 40);
        CMemManDlg page(shop.ctx, shop.dataFolder());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTRY_VERIFY(!page.totalsLabel()->text().isEmpty());
        QAccessibleInterface* totals = QAccessible::queryAccessibleInterface(page.totalsLabel());
        QCOMPARE(totals->text(QAccessible::Name),
                 QStringLiteral("当前总余额:￥ 12.50元 / 总积分:40 / 累计消费:￥ 0.00元"));
    }

    void saleScreenFieldsAreHeard() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CSaleDlg page(shop.ctx, shop.dataFolder());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.guestBox()->setChecked(true);
        expectEdit(&page, QStringLiteral("姓名："), QStringLiteral("散客"));
        expectEdit(&page, QStringLiteral("手机："), QStringLiteral("-"));
        expectEdit(&page, QStringLiteral("优惠后总价："), QStringLiteral("￥0.00"));
        expectEdit(&page, QStringLiteral("产品数量："), QStringLiteral("0"));
    }

    // ---- 2. whatever ticks a radio button switches the mode, and the posting follows it

    void settlementModeByAnyMeans_data() { radioWays(); }
    void settlementModeByAnyMeans() {
        QFETCH(QString, how);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("赵六"), QStringLiteral("13500000001"), 20, 0);
        MessageRecorder messages;
        messages.defaultAnswer = true;
        CFastSaleDlg sale(shop.ctx);
        sale.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sale));
        OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) { pick->accept(); });
        QVERIFY(sale.chooseMember());
        sale.amountEdit()->setText(QStringLiteral("35.5"));
        bool ran = false;
        OnNextModalOf<CSettlementDlg>([&](CSettlementDlg* pay) {
            ran = true;
            tick(pay->balanceRadio(), pay->cashRadio(), how);
            // The balance mode's fields, not the cash ones.
            if (!pay->extraCashEdit()->isVisible() || pay->cashEdit()->isEnabled() ||
                pay->cashLabel()->text() != QStringLiteral("余额不足，请补收：")) {
                pay->reject();
                return;
            }
            pay->extraCashEdit()->setText(QStringLiteral("￥20"));
            pay->accept();
        });
        sale.accept();
        QVERIFY(ran);
        QCOMPARE(sale.result(), int(QDialog::Accepted));
        QCOMPARE(
            shop.count(QStringLiteral("tb_orders"), QStringLiteral("PayType = 2 AND RealTotalPrice = 35.5")),
            1);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("Total = 15.5 AND Remark = ?"),
                            {QStringLiteral("余额付款自动充值￥ 15.50 元,并立即消费￥ 15.50 元")}),
                 1);
        QCOMPARE(shop.balanceOf(member), 0.0);
    }

    void pointsModeByAnyMeans_data() { radioWays(); }
    void pointsModeByAnyMeans() {
        QFETCH(QString, how);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.interalToYuan = 100;
        const int member = shop.addMember(QStringLiteral("钱七"), QStringLiteral("13500000002"), 0, 5000);
        MessageRecorder messages;
        messages.defaultAnswer = true;
        CSettlementDlg pay(shop.ctx, member, 12.3);
        pay.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pay));
        tick(pay.balanceRadio(), pay.cashRadio(), QStringLiteral("mouse"));
        tick(pay.pointsRadio(), pay.balanceRadio(), how);
        QCOMPARE(pay.cashLabel()->text(), QStringLiteral("所需积分："));
        QVERIFY(pay.clearPointsBox()->isVisible());
        pay.accept();
        QCOMPARE(pay.result(), int(QDialog::Accepted));
        QCOMPARE(pay.payment().payType, int(PayPoints));
        QCOMPARE(pay.payment().pointsUsed, 1300);
    }

    void deductionByAnyMeans_data() { radioWays(); }
    void deductionByAnyMeans() {
        QFETCH(QString, how);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("孙八"), QStringLiteral("13500000003"), 50, 0);
        MessageRecorder messages;
        messages.defaultAnswer = true;
        CTopupDlg dlg(shop.ctx, member);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        tick(dlg.deductRadio(), dlg.rechargeRadio(), how);
        QVERIFY(!dlg.rechargeMode());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("会员扣款"));
        QVERIFY(!dlg.bonusEdit()->isVisible());
        dlg.amountEdit()->setText(QStringLiteral("￥20"));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(shop.balanceOf(member), 30.0);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("OpType = 0 AND Total = -20")),
                 1);

        // And back: recharge mode again by the same means.
        CTopupDlg again(shop.ctx, member);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        tick(again.deductRadio(), again.rechargeRadio(), QStringLiteral("mouse"));
        if (how == QLatin1String("arrow key")) {
            again.deductRadio()->setFocus();
            QTest::keyClick(again.deductRadio(), Qt::Key_Left);
            QTRY_VERIFY(again.rechargeRadio()->isChecked());
        } else {
            tick(again.rechargeRadio(), again.deductRadio(), how);
        }
        QVERIFY(again.rechargeMode());
        QVERIFY(again.bonusEdit()->isVisible());
    }

    // ---- 3. Qt's standard boxes and dialogs in Chinese

    void questionBoxAnswersInChinese() {
        QStringList buttons;
        OnNextModal([&](QDialog* dlg) {
            auto* box = qobject_cast<QMessageBox*>(dlg);
            if (!box) {
                dlg->reject();
                return;
            }
            for (QAbstractButton* b : box->buttons())
                buttons << QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name);
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!Messages::ask(nullptr, QStringLiteral("确认要删除选中的会员吗？")));
        QCOMPARE(buttons.size(), 2);
        QVERIFY2(buttons.filter(QStringLiteral("是")).size() == 1 &&
                     buttons.filter(QStringLiteral("否")).size() == 1,
                 qPrintable(buttons.join(u',')));
        QVERIFY2(buttons.filter(QStringLiteral("Yes")).isEmpty(), qPrintable(buttons.join(u',')));
    }

    void standardButtonsAndFileDialogInChinese() {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));

        QFileDialog files(nullptr, QStringLiteral("导出"), QDir::tempPath());
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setAcceptMode(QFileDialog::AcceptSave);
        files.show();
        QStringList texts;
        for (QAbstractButton* b : files.findChildren<QAbstractButton*>())
            texts << b->text();
        for (QLabel* l : files.findChildren<QLabel*>())
            texts << l->text();
        QVERIFY2(texts.contains(QStringLiteral("取消")), qPrintable(texts.join(u',')));
        QVERIFY2(texts.filter(QStringLiteral("Cancel")).isEmpty() &&
                     texts.filter(QStringLiteral("File name")).isEmpty(),
                 qPrintable(texts.join(u',')));
    }

    // ---- 4 and 6. toasts: clicks and keys go to the screen below; lines are lines

    void clickGoesThroughAToast() {
        QDialog form;
        auto* first = new QLineEdit(&form);
        auto* second = new QLineEdit(&form);
        auto* layout = new QVBoxLayout(&form);
        layout->addWidget(first);
        layout->addWidget(second);
        form.setGeometry(200, 200, 420, 200);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        second->setFocus();
        QPointer<CToastDlg> toast =
            ShowToast(QStringLiteral("请选择会员\r\n或设置为散客消费！"), kToastRed, 1.5, 0, &form);
        const QPoint onFirst = first->mapToGlobal(first->rect().center());
        QVERIFY(toast->isVisible());
        QVERIFY(toast->geometry().contains(onFirst)); // the toast lies over the field
        QWindow* toastWindow = toast->windowHandle();
        QVERIFY(toastWindow->flags().testFlag(Qt::WindowTransparentForInput));
        QVERIFY(toastWindow->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        // The window system hands the click to a window there that takes input: only the form.
        QWindowList takers;
        for (QWindow* w : QGuiApplication::topLevelWindows()) {
            if (w->isVisible() && w->geometry().contains(onFirst) &&
                !w->flags().testFlag(Qt::WindowTransparentForInput))
                takers << w;
        }
        QCOMPARE(takers, QWindowList{form.windowHandle()});
        QWindow* target = takers.first();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFromGlobal(onFirst));
        QCOMPARE(QApplication::focusWidget(), first);
        QCOMPARE(QApplication::activeWindow(), &form);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("138"));
        QCOMPARE(first->text(), QStringLiteral("138"));
        QVERIFY(second->text().isEmpty());
        QVERIFY(toast->isVisible());
        delete toast;
    }

    void toastLinesAreLines() {
        const QString text = QStringLiteral("请选择会员\r\n或设置为散客消费！");
        QPointer<CToastDlg> one =
            ShowToast(QStringLiteral("请选择会员或设置为散客消费！"), kToastRed, 1.5, 0, nullptr);
        QPointer<CToastDlg> two = ShowToast(text, kToastRed, 1.5, 0, nullptr);
        const QFontMetrics metrics(two->font());
        // As wide as its longer line, and the two lines drawn one above the other.
        QCOMPARE(two->width(),
                 metrics.horizontalAdvance(QStringLiteral("或设置为散客消费！")) + CToastDlg::kTextMargin);
        QVERIFY(two->width() < one->width());
        QVERIFY(two->height() >= 2 * metrics.lineSpacing());
        const QImage image = two->grab().toImage();
        const auto whiteRows = [&](int from, int to) {
            int rows = 0;
            for (int y = from; y < to; ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.red() > 240 && c.green() > 240 && c.blue() > 240) {
                        ++rows;
                        break;
                    }
                }
            }
            return rows;
        };
        // White text above the middle and below it.
        QVERIFY(whiteRows(0, image.height() / 2 - 2) > 3);
        QVERIFY(whiteRows(image.height() / 2 + 2, image.height()) > 3);
        QCOMPARE(QAccessible::queryAccessibleInterface(two.data())->text(QAccessible::Name),
                 QStringLiteral("请选择会员\n或设置为散客消费！"));
        delete one;
        delete two;
    }

    // ---- 5. a refusal leaves the focus on the field at fault

    void fastSaleRefusalFocus_data() {
        QTest::addColumn<bool>("guest");
        QTest::addColumn<bool>("member");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("focus"); // the accessible name of the field at fault
        QTest::newRow("no member") << false << false << "50"
                                   << "5"
                                   << "请选择会员\r\n或设置为散客消费！"
                                   << "选择会员";
        QTest::newRow("amount 0") << true << false << "0"
                                  << ""
                                  << "实收价格不能小于0"
                                  << "消费金额：";
        QTest::newRow("amount abc") << false << true << "abc"
                                    << "0"
                                    << "实收价格不能小于0"
                                    << "消费金额：";
        QTest::newRow("amount 12abc") << false << true << "12abc"
                                      << "1"
                                      << "请输入正确的消费金额"
                                      << "消费金额：";
        QTest::newRow("points -3") << false << true << "30"
                                   << "-3"
                                   << "请输入正确的获得积分"
                                   << "获得积分：";
        QTest::newRow("points 1.5") << false << true << "30"
                                    << "1.5"
                                    << "请输入正确的获得积分"
                                    << "获得积分：";
    }
    void fastSaleRefusalFocus() {
        QFETCH(bool, guest);
        QFETCH(bool, member);
        QFETCH(QString, amount);
        QFETCH(QString, points);
        QFETCH(QString, refusal);
        QFETCH(QString, focus);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addMember(QStringLiteral("周九"), QStringLiteral("13400000001"), 0, 0);
        MessageRecorder messages;
        CFastSaleDlg dlg(shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        if (member) {
            OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) { pick->accept(); });
            QVERIFY(dlg.chooseMember());
            dlg.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dlg));
        }
        dlg.guestBox()->setChecked(guest);
        dlg.amountEdit()->setText(amount);
        dlg.pointsEdit()->setText(points);
        dlg.remarkEdit()->setFocus(); // the focus starts elsewhere
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{refusal});
        QVERIFY(dlg.isVisible());
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->accessibleName(), focus);
        if (auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
            QCOMPARE(edit->selectedText(), edit->text()); // typing replaces it
    }

    void settlementRefusalFocus() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("吴十"), QStringLiteral("13300000001"), 20, 0);
        MessageRecorder messages;
        CSettlementDlg pay(shop.ctx, member, 35.5);
        pay.show();
        QVERIFY(QTest::qWaitForWindowActive(&pay));
        pay.cashEdit()->setText(QStringLiteral("￥30"));
        pay.balanceRadio()->setFocus();
        pay.accept();
        QCOMPARE(QApplication::focusWidget(), pay.cashEdit());
        pay.balanceRadio()->click();
        pay.extraCashEdit()->setText(QStringLiteral("￥10"));
        pay.cashRadio()->setFocus();
        pay.accept();
        QCOMPARE(messages.toastTexts(), (QStringList{QStringLiteral("收款金额不足,不能结账"),
                                                     QStringLiteral("余额不足,不能结账!")}));
        QCOMPARE(QApplication::focusWidget(), pay.extraCashEdit());
    }

    void rechargeRefusalFocus() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CTopupDlg dlg(shop.ctx, -1);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.amountEdit()->setText(QStringLiteral("￥100"));
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请选择会员")});
        QCOMPARE(QApplication::focusWidget(), dlg.chooseButton());
    }

    // An empty cart sends the cashier back to the product search.
    void saleScreenRefusalFocus() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CSaleDlg page(shop.ctx, shop.dataFolder());
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        page.setFocus();
        page.settle();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请选择商品")});
        QCOMPARE(QApplication::focusWidget(), page.searchBox());
    }

    // ---- 7. what the cashier needs shows whole on a 1024×768 screen

    void saleScreenFitsA1024Screen() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addMember(QStringLiteral("郑十一"), QStringLiteral("13812345678"), 12345.67, 99999);
        const int product = shop.addProduct(QStringLiteral("6901234567890"),
                                            QStringLiteral("农夫山泉天然饮用水550ml"), 1234.56, 1, 100);
        MessageRecorder messages;
        QWidget screen;
        auto* page = new CSaleDlg(shop.ctx, shop.dataFolder(), &screen);
        auto* layout = new QVBoxLayout(&screen);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
        screen.resize(1024, 768 - 60); // less the main window's title, tabs and status line
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        QVERIFY2(page->minimumSizeHint().width() <= 1024,
                 qPrintable(QString::number(page->minimumSizeHint().width())));
        OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) { pick->accept(); });
        QVERIFY(page->chooseMember());
        for (int i = 0; i < 12; ++i)
            page->addProduct(product, true);
        QApplication::processEvents();
        for (const QString& caption :
             {QStringLiteral("手机："), QStringLiteral("余额："), QStringLiteral("商品总价："),
              QStringLiteral("优惠后总价："), QStringLiteral("积分：")})
            QVERIFY2(showsWhole(page->field(caption)), qPrintable(caption + page->field(caption)->text()));
        CListCtrlPlus* cart = page->list();
        // Every figure column in view without scrolling, each showing its text whole.
        QString widths;
        for (int c = 0; c < cart->columnCount(); ++c)
            widths += QString::number(cart->columnWidthOf(c)) + u' ';
        QVERIFY2(
            cart->horizontalScrollBar()->maximum() == 0,
            qPrintable(
                widths +
                QStringLiteral("in %1 (tree %2)").arg(cart->viewport()->width()).arg(page->tree()->width())));
        for (int c = 0; c < cart->columnCount(); ++c) {
            if (cart->columnWidthOf(c) == 0)
                continue;
            const int right = cart->columnViewportPosition(c) + cart->columnWidth(c);
            QVERIFY2(right <= cart->viewport()->width(), qPrintable(cart->columnCaption(c)));
            QVERIFY2(cart->horizontalHeader()->sectionSizeHint(c) <= cart->columnWidth(c),
                     qPrintable(cart->columnCaption(c)));
            if (c != ColName)
                QVERIFY2(cellShowsWhole(cart, 0, c), qPrintable(cart->itemText(0, c)));
        }
    }

    void memberListDatesShowWhole() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member =
            shop.addMember(QStringLiteral("王十二"), QStringLiteral("13812345678"), 99999.99, 123456);
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_members SET AddDate = ?, LastEditDate = ? WHERE ID = ?"),
            {QStringLiteral("2026-01-02 10:00:58"), QStringLiteral("2026-12-28 20:58:58"), member}));
        CMemManDlg page(shop.ctx, shop.dataFolder());
        page.resize(1024, 700);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        CListCtrlPlus* list = page.findChild<CListCtrlPlus*>();
        QTRY_COMPARE(list->rowCount(), 1);
        QVERIFY(list->itemText(0, 7).startsWith(QStringLiteral("2026-01-02 10:00:58")));
        for (int c = 0; c < list->columnCount(); ++c) {
            QVERIFY2(cellShowsWhole(list, 0, c), qPrintable(list->itemText(0, c)));
            QVERIFY2(list->horizontalHeader()->sectionSizeHint(c) <= list->columnWidth(c),
                     qPrintable(list->columnCaption(c)));
        }
    }

    void pointsNeededOnTheCaptionsRow() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.interalToYuan = 100;
        const int member = shop.addMember(QStringLiteral("冯十三"), QStringLiteral("13200000001"), 0, 5000);
        MessageRecorder messages;
        CSettlementDlg pay(shop.ctx, member, 12.3);
        pay.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pay));
        pay.pointsRadio()->click();
        QApplication::processEvents();
        const QRect caption(pay.cashLabel()->mapTo(&pay, QPoint()), pay.cashLabel()->size());
        const QRect value(pay.infoLine()->mapTo(&pay, QPoint()), pay.infoLine()->size());
        QCOMPARE(pay.infoLine()->text(), QStringLiteral("1300"));
        QVERIFY2(caption.top() < value.bottom() && value.top() < caption.bottom(), "not on one row");
        QVERIFY(value.left() >= caption.right());
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
