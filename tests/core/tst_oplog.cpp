#include "TestShop.h"

#include "core/store/OpLog.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {
bool addLine(TestShop& shop, int operatorId, const QString& content, const QString& when) {
    return shop.ctx.db.exec(
        QStringLiteral("INSERT INTO tb_OpRecord(SaleManID, Content, AddDate) VALUES(?, ?, ?)"),
        {operatorId, content,
         shop.ctx.db.dateTimeValue(QDateTime::fromString(when, QStringLiteral("yyyy-MM-dd HH:mm:ss")))});
}

QStringList contents(const QList<OpLogRow>& rows) {
    QStringList list;
    for (const OpLogRow& r : rows)
        list << r.content;
    return list;
}
} // namespace

class TestOpLog final : public QObject {
    Q_OBJECT

private slots:
    void filters() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        // An operator whose name contains the words of the other kinds.
        const int odd =
            shop.addOperator(QStringLiteral("odd"), QStringLiteral("p"), 2, 0, QStringLiteral("删除会员"));
        const int gone = shop.addOperator(QStringLiteral("gone"), QStringLiteral("p"));
        QVERIFY(addLine(shop, 1, QStringLiteral("管理员(admin) 登陆成功   2016-05-31 23:59:59"),
                        QStringLiteral("2016-05-31 23:59:59")));
        QVERIFY(addLine(shop, 1, QStringLiteral("管理员(admin) 登陆成功   2016-06-01 00:00:00"),
                        QStringLiteral("2016-06-01 00:00:00")));
        QVERIFY(addLine(shop, odd, QStringLiteral("删除会员(odd) 登陆成功   2016-06-01 08:00:00"),
                        QStringLiteral("2016-06-01 08:00:00")));
        QVERIFY(addLine(shop, odd, QStringLiteral("删除会员：登陆(13800000000)"),
                        QStringLiteral("2016-06-01 12:00:00")));
        QVERIFY(
            addLine(shop, gone,
                    QStringLiteral("撤销订单，订单详情（会员：张三;  电话：1; 订单类型：消费; 价格:￥1.00; "
                                   "支付方式:现金 )"),
                    QStringLiteral("2016-06-01 23:59:59")));
        QVERIFY(addLine(shop, 1,
                        QStringLiteral("撤销采购进货单，订单详情（总价：1; 订单创建人：a; 订单创建时间:b)"),
                        QStringLiteral("2016-06-02 00:00:00")));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_manager WHERE ID = ?"), {gone}));

        // Newest first; the removed operator's line says so.
        QList<OpLogRow> all = QueryOpLog(shop.ctx, {});
        QCOMPARE(all.size(), 6);
        QCOMPARE(all.first().addDate, QDateTime(QDate(2016, 6, 2), QTime(0, 0)));
        QCOMPARE(all.at(1).operatorName, QStringLiteral("#已删除"));
        QCOMPARE(all.at(2).operatorName, QStringLiteral("删除会员"));

        // One day includes its first and last second, and nothing of its neighbours.
        OpLogFilter day;
        day.from = day.to = QDate(2016, 6, 1);
        const QStringList oneDay = contents(QueryOpLog(shop.ctx, day));
        QCOMPARE(oneDay.size(), 4);
        QVERIFY(oneDay.last().endsWith(QLatin1String("2016-06-01 00:00:00")));
        QVERIFY(oneDay.first().startsWith(QStringLiteral("撤销订单")));
        OpLogFilter onlyTo;
        onlyTo.to = QDate(2016, 5, 31);
        QCOMPARE(QueryOpLog(shop.ctx, onlyTo).size(), 1);

        OpLogFilter kind;
        kind.kind = OpLogKind::MemberDelete;
        QCOMPARE(contents(QueryOpLog(shop.ctx, kind)),
                 QStringList{QStringLiteral("删除会员：登陆(13800000000)")});
        kind.kind = OpLogKind::Login;
        QCOMPARE(QueryOpLog(shop.ctx, kind).size(), 3);
        kind.kind = OpLogKind::OrderCancel;
        QCOMPARE(QueryOpLog(shop.ctx, kind).size(), 1);

        OpLogFilter byOperator;
        byOperator.operatorId = odd;
        QCOMPARE(QueryOpLog(shop.ctx, byOperator).size(), 2);
        byOperator.kind = OpLogKind::Login;
        QCOMPARE(QueryOpLog(shop.ctx, byOperator).size(), 1);
    }

    void atMost500NewestLines() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(db::runTransaction(shop.ctx.db, [&] {
            const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
            for (int i = 0; i < 520; ++i) {
                if (!addLine(shop, 1, QStringLiteral("line %1").arg(i),
                             start.addSecs(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))))
                    return false;
            }
            return true;
        }));
        const QList<OpLogRow> rows = QueryOpLog(shop.ctx, {});
        QCOMPARE(rows.size(), 500);
        QCOMPARE(rows.first().content, QStringLiteral("line 519"));
        QCOMPARE(rows.last().content, QStringLiteral("line 20"));
        shop.ctx.db.failNthStatement(1);
        QVERIFY(QueryOpLog(shop.ctx, {}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOpLog)
#include "tst_oplog.moc"
