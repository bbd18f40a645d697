#include "TestShop.h"

#include "core/sales/Posting.h"
#include "core/support/Money.h"
#include "gui/app/Messages.h"
#include "gui/sales/ReceiptPrinter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
QString postSale(TestShop& shop, int lines) {
    Cart cart;
    for (int i = 0; i < lines; ++i) {
        const int id = shop.addProduct(QStringLiteral("69%1").arg(i, 4, 10, QLatin1Char('0')),
                                       QStringLiteral("商品%1").arg(i), 2.5 + i);
        cart.add(*LoadSaleProduct(shop.ctx, id), true);
    }
    const CartTotals t = cart.totals(shop.ctx.settings);
    Payment pay;
    pay.cashReceived = t.amountDue();
    const PostResult r = PostOrder(shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, kWalkInMember, pay, 0, {},
                                                           QDateTime(QDate(2024, 3, 5), QTime(9, 8, 7))));
    return r.orderNo;
}

QString pdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return {};
    // The CJK font maps some ideographs and their Kangxi radicals to one glyph, and the text
    // extraction may hand back the radical ("⽅" for "方"); compatibility folding undoes that.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}
} // namespace

class TestReceiptPrint final : public QObject {
    Q_OBJECT

private slots:
    void printsToAPdfFile() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.storeName = QStringLiteral("岚拓便利店");
        shop.ctx.settings.piaoInfo = QStringLiteral("谢谢惠顾");
        const QString no = postSale(shop, 3);
        QVERIFY(!no.isEmpty());
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("receipt.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        MessageRecorder messages;
        QVERIFY(PrintReceipt(nullptr, shop.ctx, no, &printer));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("完成")});
        QCOMPARE(messages.toasts.first().colour, 0xFDBD13u);
        QCOMPARE(printer.docName(), QStringLiteral("Vodar printing"));

        const QString text = pdfText(pdf);
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QString simplified = line.simplified();
            if (!simplified.isEmpty())
                lines << simplified;
        }
        const QStringList expected{QStringLiteral("岚拓便利店"),
                                   QStringLiteral("单号:") + no,
                                   QStringLiteral("会员：散客"),
                                   QStringLiteral("付款方式：现金支付消费类型：正常销售"),
                                   QStringLiteral("获得积分：0"),
                                   QStringLiteral("产品名称 数量规格 小计"),
                                   QString(36, QLatin1Char('-')),
                                   QStringLiteral("商品0 1 个 ￥2.50"),
                                   QStringLiteral("商品1 1 个 ￥3.50"),
                                   QStringLiteral("商品2 1 个 ￥4.50"),
                                   QString(36, QLatin1Char('-')),
                                   QStringLiteral("产品金额: ￥10.50"),
                                   QStringLiteral("折扣: 10.0"),
                                   QStringLiteral("折扣金额: ￥10.50"),
                                   QString(36, QLatin1Char('-')),
                                   QStringLiteral("服务员:管理员"),
                                   QStringLiteral("结帐时间：2024-03-05 09:08:07"),
                                   QStringLiteral("谢谢惠顾")};
        QStringList folded;
        for (const QString& line : expected)
            folded << line.normalized(QString::NormalizationForm_KC);
        QCOMPARE(lines, folded);
    }

    void longReceiptTakesSeveralPages() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QString no = postSale(shop, 120);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        MessageRecorder messages;
        QVERIFY(PrintReceipt(nullptr, shop.ctx, no, &printer));
        const QString text = pdfText(pdf);
        QVERIFY(text.count(QLatin1Char('\f')) >= 2);
        QVERIFY(text.indexOf(QStringLiteral("商品0 ")) < text.indexOf(QStringLiteral("商品119")));
        QVERIFY(text.contains(
            QStringLiteral("结帐时间：2024-03-05 09:08:07").normalized(QString::NormalizationForm_KC)));
    }

    void failuresPrintNothing() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        QTemporaryDir dir;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("none.pdf")));
        QVERIFY(!PrintReceipt(nullptr, shop.ctx, QStringLiteral("20240305090807999999"), &printer));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("打开订单失败")});
        QCOMPARE(messages.toasts.first().colour, 255u);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.pdf"))));
    }

    // Without a default printer the answer comes at once, whatever the print system is doing.
    void noPrinterFailsAtOnce() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QString no = postSale(shop, 1);
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("this machine has a default printer; a real print is not wanted here");
        MessageRecorder messages;
        QVERIFY(!PrintReceipt(nullptr, shop.ctx, no));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("初始化打印设备失败")});
    }
};

QTEST_MAIN(TestReceiptPrint)
#include "tst_receipt_print.moc"
