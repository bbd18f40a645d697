// selvo_crash: a till that is killed at random moments, for the crash test. Posts random sales
// (cash, balance with and without an automatic recharge, points), recharges, deductions, returns
// refunded to the balance and cancellations of its own orders, for ever, and appends to the log
// file, after each commit has returned:
//   sale <OrderNo> <MemID> <PayType> <RealTotalPrice>
//   return <OrderNo> <MemID> <refund>
//   topup <MemID> <signed total>   a recharge or deduction (remark "crash test")
//   cancelling <OrderNo>      before a cancellation is tried
//   cancelled <OrderNo>       after it was committed
// Each line is one write() to a file opened for appending, so a kill never leaves half a line
// among the kernel's pages. Usage: selvo_crash --data DIR --log FILE --seed S [--hold]
// --hold only opens the database, logs "started" and keeps it open until killed (a running till).
#include "core/db/Backup.h"
#include "core/members/Topup.h"
#include "core/sales/Cancellation.h"
#include "core/sales/Posting.h"
#include "core/sales/Returns.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>
#include <QThread>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

using namespace selvo;

namespace {

struct Product {
    int id;
    QString code;
    QString name;
    double price;
    double cost;
};

QString option(const QStringList& args, const QString& name) {
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

int g_log = -1;
void logLine(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (::write(g_log, bytes.constData(), size_t(bytes.size())) != bytes.size())
        ::_exit(3);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    const QString folder = option(args, QStringLiteral("--data"));
    const QString logFile = option(args, QStringLiteral("--log"));
    bool okSeed = false;
    const quint32 seed = option(args, QStringLiteral("--seed")).toUInt(&okSeed);
    if (folder.isEmpty() || logFile.isEmpty() || !okSeed) {
        err << "usage: selvo_crash --data DIR --log FILE --seed S\n";
        return 2;
    }
    g_log = ::open(QFile::encodeName(logFile).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (g_log < 0) {
        err << "cannot open the log" << Qt::endl;
        return 2;
    }
    AppContext ctx;
    const OpenResult opened = OpenDatabase(ctx, folder);
    if (!opened.ok) {
        err << "cannot open: " << opened.detail << Qt::endl;
        return 1;
    }
    // As the till's start does: the day's copy first.
    if (const db::BackupResult copy = db::DailyBackup(ctx.db, QDate::currentDate()); !copy.ok) {
        err << "daily backup: " << copy.message << Qt::endl;
        return 1;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    if (args.contains(QStringLiteral("--hold"))) {
        logLine(QStringLiteral("started"));
        for (;;)
            QThread::sleep(1);
    }

    QList<int> members;
    if (auto q = ctx.db.select(QStringLiteral("SELECT ID FROM tb_members ORDER BY ID"))) {
        while (q->next())
            members << q->value(0).toInt();
    }
    QList<Product> products;
    if (auto q = ctx.db.select(QStringLiteral(
            "SELECT ID, PrdCode, PrdName, Price, PurchasePrice FROM tb_product ORDER BY ID"))) {
        while (q->next())
            products.append({q->value(0).toInt(), q->value(1).toString(), q->value(2).toString(),
                             q->value(3).toDouble(), q->value(4).toDouble()});
    }
    if (members.isEmpty() || products.isEmpty()) {
        err << "the shop needs members and products" << Qt::endl;
        return 1;
    }
    logLine(QStringLiteral("started"));

    QRandomGenerator rng(seed);
    QStringList mine; // orders this run posted, to cancel some
    for (;;) {
        const int member = members[int(rng.bounded(members.size()))];
        const int action = int(rng.bounded(10));
        if (action < 5) {
            // A sale: cash, balance (an automatic recharge when the balance is short) or points.
            OrderDraft d;
            const int pay = int(rng.bounded(3));
            d.memberId = member;
            d.payment.payType = pay == 0 ? PayCash : pay == 1 ? PayBalance : PayPoints;
            const bool byPoints = d.payment.payType == PayPoints;
            d.orderType = byPoints ? OrderPointsExchange : OrderSale;
            const int lineCount = 1 + int(rng.bounded(3));
            for (int l = 0; l < lineCount; ++l) {
                const Product& p = products[int(rng.bounded(products.size()))];
                OrderLine line;
                line.code = p.code;
                line.name = p.name;
                line.price = p.price;
                line.discountPrice = p.price;
                line.quantity = 1 + int(rng.bounded(3));
                line.cost = p.cost;
                line.totalPrice = byPoints ? 0 : p.price * line.quantity;
                line.profits = (p.price - p.cost) * line.quantity;
                d.totalPrice += p.price * line.quantity;
                d.purchasePrice += p.cost * line.quantity;
                d.prdSum += line.quantity;
                d.lines.append(line);
                d.stockMoves.append({line.code, line.quantity});
            }
            d.realTotalPrice = byPoints ? 0 : d.totalPrice;
            d.profits = d.realTotalPrice - d.purchasePrice;
            d.cumulative = d.realTotalPrice;
            if (byPoints) {
                d.payment.pointsUsed = int(d.totalPrice);
                d.points = -d.payment.pointsUsed;
            } else {
                d.points = int(d.realTotalPrice);
            }
            if (d.payment.payType == PayCash) {
                d.payment.cashReceived = d.realTotalPrice + 10;
                d.payment.change = 10;
            }
            if (d.payment.payType == PayBalance) {
                auto balance =
                    ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {member});
                const double b = balance ? balance->toDouble() : 0;
                if (b < d.realTotalPrice) {
                    d.payment.shortfall = d.realTotalPrice - b;
                    d.payment.recharge = std::ceil(d.payment.shortfall);
                    d.payment.balanceBefore = b;
                }
            }
            const PostResult r = PostOrder(ctx, d);
            if (r.ok) {
                mine << r.orderNo;
                logLine(QStringLiteral("sale %1 %2 %3 %4")
                            .arg(r.orderNo)
                            .arg(member)
                            .arg(d.payment.payType)
                            .arg(d.realTotalPrice, 0, 'f', 2));
            }
        } else if (action < 7) {
            TopupPlan plan;
            plan.memberId = member;
            plan.recharge = action == 5;
            plan.amount = 1 + int(rng.bounded(200));
            plan.bonus = plan.recharge ? int(rng.bounded(3)) * 5 : 0;
            plan.remark = QStringLiteral("crash test");
            const TopupResult r = CommitTopup(ctx, plan);
            if (r.ok)
                logLine(QStringLiteral("topup %1 %2")
                            .arg(member)
                            .arg(plan.recharge ? plan.amount + plan.bonus : -plan.amount, 0, 'f', 2));
        } else if (action < 9) {
            // A return refunded to the balance, or (one in three) in cash.
            Cart list;
            const Product& p = products[int(rng.bounded(products.size()))];
            auto product = LoadSaleProduct(ctx, p.id);
            if (!product)
                continue;
            list.add(*product, true);
            ReturnInput in;
            in.memberId = member;
            in.mode = rng.bounded(3) == 0 ? RefundCash : RefundBalance;
            in.refundText = QString::number(p.price, 'f', 2);
            in.pointsText = QStringLiteral("0");
            const ReturnPlan plan = PrepareReturn(ctx, list, in);
            if (!plan.ok())
                continue;
            const ReturnResult r = CommitReturn(ctx, plan);
            if (r.ok) {
                mine << r.orderNo;
                logLine(
                    QStringLiteral("return %1 %2 %3").arg(r.orderNo).arg(member).arg(plan.refund, 0, 'f', 2));
            }
        } else if (!mine.isEmpty()) {
            const QString no = mine.takeAt(int(rng.bounded(mine.size())));
            const CancelPlan plan = PrepareCancelOrder(ctx, no);
            if (!plan.ok())
                continue;
            logLine(QStringLiteral("cancelling %1").arg(no));
            if (CommitCancelOrder(ctx, plan, QStringLiteral("撤销订单（崩溃测试）")).ok)
                logLine(QStringLiteral("cancelled %1").arg(no));
        }
    }
}
