// selvo_load: one till under load, for the multi-till tests. Posts many sales against the shop
// of a data folder, picking among all its members and products at random, and reports:
//   order <OrderNo> <line count>          for every committed sale
//   summary committed=N refused=N failed=N attempts=N clashes=N
// Usage: selvo_load --data DIR --sales N --seed S [--same-second]
// --same-second stops the clock, so every order number of every till shares one prefix.
#include "core/sales/Posting.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"
#include "core/support/Clock.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTextStream>

#include <cmath>

using namespace selvo;

namespace {

struct Product {
    QString code;
    QString name;
    double price;
    double cost;
};

QString option(const QStringList& args, const QString& name) {
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString folder = option(args, QStringLiteral("--data"));
    bool okSales = false;
    bool okSeed = false;
    const int sales = option(args, QStringLiteral("--sales")).toInt(&okSales);
    const quint32 seed = option(args, QStringLiteral("--seed")).toUInt(&okSeed);
    if (folder.isEmpty() || !okSales || sales < 0 || !okSeed) {
        err << "usage: selvo_load --data DIR --sales N --seed S [--same-second]\n";
        return 2;
    }
    ManualClock frozen(QDateTime(QDate(2024, 6, 1), QTime(12, 0, 0)));
    if (args.contains(QStringLiteral("--same-second")))
        Clock::setInstance(&frozen);

    AppContext ctx;
    const OpenResult opened = OpenDatabase(ctx, folder);
    if (!opened.ok) {
        err << "cannot open: " << opened.detail << Qt::endl;
        return 1;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;

    QList<int> members;
    if (auto q = ctx.db.select(QStringLiteral("SELECT ID FROM tb_members ORDER BY ID"))) {
        while (q->next())
            members << q->value(0).toInt();
    }
    QList<Product> products;
    if (auto q = ctx.db.select(
            QStringLiteral("SELECT PrdCode, PrdName, Price, PurchasePrice FROM tb_product ORDER BY ID"))) {
        while (q->next())
            products.append({q->value(0).toString(), q->value(1).toString(), q->value(2).toDouble(),
                             q->value(3).toDouble()});
    }
    if (members.isEmpty() || products.isEmpty()) {
        err << "the shop needs members and products" << Qt::endl;
        return 1;
    }

    QRandomGenerator rng(seed);
    int committed = 0;
    int refused = 0;
    int failed = 0;
    int attempts = 0;
    int clashes = 0;
    for (int i = 0; i < sales; ++i) {
        OrderDraft order;
        // Half the sales are paid from a balance, a quarter in cash by a member, a quarter by guests.
        const int kind = int(rng.bounded(4));
        order.payment.payType = kind < 2 ? PayBalance : PayCash;
        order.memberId = kind < 3 ? members[int(rng.bounded(members.size()))] : kWalkInMember;
        const int lineCount = 1 + int(rng.bounded(3));
        for (int l = 0; l < lineCount; ++l) {
            const Product& p = products[int(rng.bounded(products.size()))];
            OrderLine line;
            line.code = p.code;
            line.name = p.name;
            line.price = p.price;
            line.discountPrice = p.price;
            line.discount = 10;
            line.quantity = 0.5 * (1 + rng.bounded(6)); // halves keep every sum exact in binary
            line.cost = p.cost;
            line.totalPrice = line.discountPrice * line.quantity;
            line.profits = (line.discountPrice - p.cost) * line.quantity;
            line.points = int(std::floor(line.totalPrice));
            order.totalPrice += p.price * line.quantity;
            order.realTotalPrice += line.totalPrice;
            order.purchasePrice += p.cost * line.quantity;
            order.prdSum += line.quantity;
            order.lines.append(line);
            order.stockMoves.append({line.code, line.quantity});
        }
        order.profits = order.realTotalPrice - order.purchasePrice;
        order.cumulative = order.realTotalPrice;
        order.points = IsWalkIn(order.memberId) ? 0 : int(std::floor(order.realTotalPrice));
        if (order.payment.payType == PayCash) {
            order.payment.cashReceived = std::ceil(order.realTotalPrice);
            order.payment.change = order.payment.cashReceived - order.realTotalPrice;
        }
        const PostResult r = PostOrder(ctx, order);
        attempts += r.attempts;
        clashes += r.numberClashes;
        if (r.ok) {
            ++committed;
            out << "order " << r.orderNo << ' ' << order.lines.size() << '\n';
        } else if (r.message == QStringLiteral("扣除余额失败，请重试！")) {
            ++refused;
        } else {
            ++failed;
            err << "sale failed: " << r.message << ' ' << r.detail << Qt::endl;
        }
    }
    out << "summary committed=" << committed << " refused=" << refused << " failed=" << failed
        << " attempts=" << attempts << " clashes=" << clashes << Qt::endl;
    Clock::setInstance(nullptr);
    return failed == 0 ? 0 : 1;
}
