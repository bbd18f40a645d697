#include "GuiDriver.h"
#include "TestShop.h"

#include "core/members/Member.h"
#include "core/support/Bmp.h"
#include "core/support/Clock.h"
#include "gui/app/Messages.h"
#include "gui/camera/CTestDlg.h"
#include "gui/members/CMemAddDlg.h"
#include "gui/members/CTopupDlg.h"

#include <QCameraDevice>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaDevices>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {

void writeTempPicture(const QString& dataFolder) {
    EnsurePhotoFolders(dataFolder);
    const quint32 px[4] = {0xffff0000u, 0xff00ff00u, 0xff0000ffu, 0xffffffffu};
    QVERIFY(WriteBmpFile(PhotoTempFile(dataFolder),
                         FrameFromXrgb32(reinterpret_cast<const uchar*>(px), 2, 2, 8)));
}
} // namespace

class TestMemberDialogs final : public QObject {
    Q_OBJECT

private slots:
    void editorAddsAMember() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addMember(QStringLiteral("甲"), QStringLiteral("13800000001"));
        MessageRecorder messages;
        CMemAddDlg dlg(shop.ctx, shop.dataFolder(), -1);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("添加会员"));
        QVERIFY(dlg.mobileEdit()->hasFocus());
        QCOMPARE(dlg.pointsEdit()->text(), QStringLiteral("0"));
        QCOMPARE(dlg.balanceEdit()->text(), QStringLiteral("￥0.00"));
        QCOMPARE(dlg.cumulativeEdit()->text(), QStringLiteral("￥0.00"));
        QVERIFY(dlg.maleRadio()->isChecked());
        QVERIFY(dlg.solarRadio()->isChecked());
        QCOMPARE(dlg.stateBox()->currentText(), QStringLiteral("正常"));
        QCOMPARE(dlg.stateBox()->count(), 3);
        QVERIFY(dlg.cardNumberEdit()->isHidden());
        QVERIFY(!dlg.cardNumberEdit()->isEnabled());
        QVERIFY(dlg.initialsEdit()->isReadOnly());

        // The initials follow the name at each keystroke.
        dlg.nameEdit()->insert(QStringLiteral("王小")); // typed, as an input method commits it
        QCOMPARE(dlg.initialsEdit()->text(), QStringLiteral("WX"));
        dlg.nameEdit()->insert(QStringLiteral("明"));
        QCOMPARE(dlg.initialsEdit()->text(), QStringLiteral("WXM"));

        // Blank mobile, then a taken one: refused, the dialog stays with the focus on the mobile.
        dlg.mobileEdit()->setText(QStringLiteral("   "));
        dlg.nameEdit()->setFocus();
        Click(&dlg, QStringLiteral("确定"));
        QVERIFY(dlg.isVisible());
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("手机号码不能为空")});
        QCOMPARE(messages.toasts.first().colour, 255u);
        QVERIFY(dlg.mobileEdit()->hasFocus());
        dlg.mobileEdit()->setText(QStringLiteral(" 13800000001"));
        dlg.nameEdit()->setFocus();
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(messages.toastTexts().last(), QStringLiteral("手机号码已存在，请重新填写手机号！"));
        QVERIFY(dlg.mobileEdit()->hasFocus());
        QCOMPARE(dlg.mobileEdit()->selectedText(), QStringLiteral(" 13800000001"));
        dlg.idCardEdit()->setText(QStringLiteral("ID-1"));

        dlg.mobileEdit()->setText(QStringLiteral("13800000002"));
        dlg.stateBox()->setCurrentIndex(2);
        dlg.femaleRadio()->setChecked(true);
        dlg.lunarRadio()->setChecked(true);
        dlg.birthdayEdit()->setDate(QDate(1990, 5, 1));
        dlg.remarkEdit()->setPlainText(QStringLiteral("两行\n备注"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const auto m = ReadMember(shop.ctx, dlg.memberId());
        QVERIFY(m);
        QCOMPARE(*m->trueName, QStringLiteral("王小明"));
        QCOMPARE(*m->firstSpell, QStringLiteral("WXM"));
        QCOMPARE(*m->mobilePhone, QStringLiteral("13800000002"));
        QCOMPARE(*m->memberCode, QString());
        QCOMPARE(*m->userState, 2);
        QCOMPARE(m->sex, std::optional<bool>(false));
        QCOMPARE(m->isLuner, std::optional<bool>(true));
        QCOMPARE(m->birthDay.date(), QDate(1990, 5, 1));
        QCOMPARE(*m->remark, QStringLiteral("两行\n备注"));
        QCOMPARE(*m->idCard, QStringLiteral("ID-1"));
    }

    void editorEditsAMember() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("李四"), QStringLiteral("13600000000"), 88.5, 42, 1,
                                      QStringLiteral("VIP7"));
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_members SET Sex = NULL, IsLuner = NULL, FirstSpell = 'OLD', "
                           "Cumulative = 7.25, BirthDay = NULL WHERE ID = ?"),
            {id}));
        MessageRecorder messages;
        CMemAddDlg dlg(shop.ctx, shop.dataFolder(), id);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("修改会员信息"));
        QCOMPARE(dlg.nameEdit()->text(), QStringLiteral("李四"));
        QCOMPARE(dlg.initialsEdit()->text(), QStringLiteral("OLD")); // stored, until the name changes
        QCOMPARE(dlg.cardNumberEdit()->text(), QStringLiteral("VIP7"));
        QVERIFY(dlg.femaleRadio()->isChecked()); // Sex NULL
        QVERIFY(dlg.solarRadio()->isChecked());  // IsLuner NULL
        QCOMPARE(dlg.stateBox()->currentText(), QStringLiteral("锁定"));
        QCOMPARE(dlg.balanceEdit()->text(), QStringLiteral("￥88.50"));
        QCOMPARE(dlg.pointsEdit()->text(), QStringLiteral("42"));
        QCOMPARE(dlg.cumulativeEdit()->text(), QStringLiteral("￥7.25"));
        QCOMPARE(dlg.birthdayEdit()->text(), QStringLiteral("未填写"));

        // The own mobile passes; the account and the missing birthday stay as they were.
        dlg.nameEdit()->setText(QStringLiteral("李思"));
        QCOMPARE(dlg.initialsEdit()->text(), QStringLiteral("LS"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.memberId(), id);
        const auto m = ReadMember(shop.ctx, id);
        QCOMPARE(*m->trueName, QStringLiteral("李思"));
        QCOMPARE(*m->memberCode, QStringLiteral("VIP7"));
        QCOMPARE(*m->balance, 88.5);
        QCOMPARE(*m->integral, 42);
        QCOMPARE(*m->userState, 1);
        QCOMPARE(m->sex, std::optional<bool>(false));
        QVERIFY(!m->birthDay.isValid());
        QVERIFY(m->lastEditDate.isValid());
        QVERIFY(messages.toasts.isEmpty());

        // A member that cannot be read: the message, and nothing can be saved over it.
        CMemAddDlg missing(shop.ctx, shop.dataFolder(), 999);
        QCOMPARE(messages.boxTexts(), QStringList{QStringLiteral("无法读取会员信息")});
        QVERIFY(!missing.okButton()->isEnabled());
    }

    void editorStoresThePhoto() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("13500000000"));
        CMemAddDlg dlg(shop.ctx, shop.dataFolder(), id);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.shownPhoto(), QString());
        writeTempPicture(shop.dataFolder());
        dlg.photoTaken();
        QCOMPARE(dlg.shownPhoto(), PhotoTempFile(shop.dataFolder()));
        // The frame draws the picture stretched over its inside.
        const QImage shot = dlg.grab().toImage();
        QVERIFY(!shot.isNull());
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!QFile::exists(PhotoTempFile(shop.dataFolder())));
        const QString stored = *ReadMember(shop.ctx, id)->photo;
        QVERIFY(stored.startsWith(QStringLiteral("photo/")));
        QVERIFY(QFile::exists(ResolvePhotoPath(shop.dataFolder(), stored)));

        CMemAddDlg again(shop.ctx, shop.dataFolder(), id);
        QCOMPARE(again.shownPhoto(), ResolvePhotoPath(shop.dataFolder(), stored));
    }

    void rechargeWithBonus() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 20, 3, 1);
        MessageRecorder messages;
        messages.answerNext(false);
        messages.answerNext(true);
        QWidget owner;
        CTopupDlg dlg(shop.ctx, id, &owner);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("会员充值"));
        QVERIFY(dlg.rechargeRadio()->isChecked());
        QVERIFY(dlg.historyButton()->isHidden());
        QCOMPARE(dlg.nameLabel()->text(), QStringLiteral("张三"));
        QCOMPARE(dlg.balanceLabel()->text(), QStringLiteral("￥20.00"));
        QCOMPARE(dlg.amountEdit()->text(), QStringLiteral("￥0.00"));
        QCOMPARE(dlg.amountEdit()->selectedText(), QStringLiteral("0.00"));
        QVERIFY(dlg.amountEdit()->hasFocus());

        QTest::keyClicks(dlg.amountEdit(), QStringLiteral("100"));
        QCOMPARE(dlg.amountEdit()->text(), QStringLiteral("￥100"));
        dlg.bonusEdit()->setText(QStringLiteral("10"));
        QCOMPARE(dlg.totalLabel()->text(), QStringLiteral("￥110.00"));
        dlg.remarkEdit()->setPlainText(QStringLiteral("活动"));

        // No: nothing happens. Yes: the balance grows by 110.
        Click(&dlg, QStringLiteral("确定"));
        QVERIFY(dlg.isVisible());
        QCOMPARE(shop.balanceOf(id), 20.0);
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(messages.boxTexts(),
                 (QStringList{QStringLiteral("确认为会员 张三13800000001 充值: ￥110.00元 吗？"),
                              QStringLiteral("确认为会员 张三13800000001 充值: ￥110.00元 吗？")}));
        QCOMPARE(shop.balanceOf(id), 130.0);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("Amount = 100 AND Giving = 10")),
                 1);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("充值成功")});
        QCOMPARE(messages.toasts.first().colour, 0xFDBD13u);
    }

    void deduct() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 50);
        MessageRecorder messages;
        messages.defaultAnswer = true;
        CTopupDlg dlg(shop.ctx, id);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.bonusEdit()->setText(QStringLiteral("99"));
        dlg.deductRadio()->click();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("会员扣款"));
        QVERIFY(dlg.bonusEdit()->isHidden());
        QVERIFY(dlg.totalLabel()->isHidden());
        QCOMPARE(dlg.bonusEdit()->text(), QStringLiteral("￥0.00"));
        QCOMPARE(dlg.amountEdit()->accessibleName(), QStringLiteral("扣款金额："));

        const QList<std::pair<QString, QString>> refused = {
            {QStringLiteral("abc"), QStringLiteral("请输入扣款金额")},
            {QStringLiteral("50.01"), QStringLiteral("余额不足")},
        };
        for (const auto& [typed, toast] : refused) {
            dlg.amountEdit()->setText(typed);
            Click(&dlg, QStringLiteral("确定"));
            QVERIFY(dlg.isVisible());
            QCOMPARE(messages.toastTexts().last(), toast);
            QCOMPARE(dlg.amountEdit()->selectedText(), typed);
        }
        QVERIFY(messages.boxes.isEmpty());
        dlg.amountEdit()->setText(QStringLiteral("￥50"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(messages.boxTexts(),
                 QStringList{QStringLiteral("确认扣除会员 张三13800000001  ￥50.00元 吗？")});
        QCOMPARE(messages.toastTexts().last(), QStringLiteral("扣款成功"));
        QCOMPARE(shop.balanceOf(id), 0.0);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("OpType = 0 AND Total = -50")),
                 1);
    }

    void rechargeWithoutMemberThenChoose() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("王五"), QStringLiteral("13900000000"), 5);
        MessageRecorder messages;
        CTopupDlg dlg(shop.ctx, -1);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.nameLabel()->text(), QString());
        QCOMPARE(dlg.balanceLabel()->text(), QStringLiteral("￥0.00"));
        dlg.amountEdit()->setText(QStringLiteral("10"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请选择会员")});
        QVERIFY(dlg.isVisible());

        OnNextModal([](QDialog* picker) { QTest::keyClick(picker->focusWidget(), Qt::Key_Return); }, &dlg);
        dlg.chooseButton()->click();
        QCOMPARE(dlg.memberId(), id);
        QCOMPARE(dlg.nameLabel()->text(), QStringLiteral("王五"));
        QCOMPARE(dlg.balanceLabel()->text(), QStringLiteral("￥5.00"));
    }

    void cameraWithoutDevice() {
        if (!QMediaDevices::videoInputs().isEmpty())
            QSKIP("this machine has a camera");
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("temp.bmp"));
        MessageRecorder messages;
        CTestDlg dlg(file);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("test"));
        QCOMPARE(dlg.deviceBox()->count(), 0);
        QVERIFY(!dlg.openButton()->isEnabled());
        Click(&dlg, QStringLiteral("拍照(&C)"));
        QVERIFY(dlg.isVisible());
        QVERIFY(!dlg.waitingForFrame());
        QTest::qWait(3 * CTestDlg::kCheckMs);
        QVERIFY(dlg.isVisible());
        QVERIFY(!QFile::exists(file));
        QVERIFY(messages.boxes.isEmpty());
        Click(&dlg, QStringLiteral("退出(&E)"));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void cameraWritesTheNextFrame() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("temp.bmp"));
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older picture");
        old.close();
        MessageRecorder messages;
        CTestDlg dlg(file);
        dlg.deviceBox()->addItem(QStringLiteral("模拟摄像头")); // stands in for a device
        dlg.show();
        // A frame before the press is only shown.
        QImage frame(4, 3, QImage::Format_RGB32);
        frame.fill(QColor(10, 20, 30));
        dlg.deliverFrame(frame);
        QFile check(file);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("an older picture"));
        check.close();

        dlg.takePhoto();
        QVERIFY(!QFile::exists(file)); // the previous picture goes first
        QVERIFY(dlg.waitingForFrame());
        dlg.deliverFrame(frame);
        QVERIFY(!dlg.waitingForFrame());
        QTRY_COMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(check.open(QIODevice::ReadOnly));
        const QByteArray bytes = check.readAll();
        QCOMPARE(bytes.size(), 54 + 3 * 12);
        QCOMPARE(bytes.mid(54, 3).toHex(), QByteArray("1e140a")); // blue, green, red
        QVERIFY(messages.boxes.isEmpty());
    }

    void cameraWithoutFrames() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("temp.bmp"));
        MessageRecorder messages;
        CTestDlg dlg(file);
        dlg.deviceBox()->addItem(QStringLiteral("模拟摄像头"));
        dlg.show();
        dlg.takePhoto();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.result(), int(QDialog::Accepted), 5000);
        QCOMPARE(messages.boxTexts(), QStringList{QStringLiteral("拍照失败，请重试")});
        QVERIFY(!QFile::exists(file));
    }
};

QTEST_MAIN(TestMemberDialogs)
#include "tst_member_dialogs.moc"
