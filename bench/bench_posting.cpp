// Posting sales into a full shop: 1,000 five-line sales against 100,000 products and 200,000
// members, timed one by one, each next to one durable commit on the same database (the floor any
// posting pays: its one transaction's sync to disk). Twice: first with SQLite's own checkpoints
// (a commit that passes the log's limit copies the log back itself), then as the program runs,
// with the log copied back on a connection of its own. SELVO_PG (a libpq connection string) runs
// it on a server instead.
#include "CatalogueFixture.h"

#include "core/db/Checkpointer.h"

#include "core/sales/Posting.h"
#include "core/support/Number.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlQuery>

#include <cstdio>

using namespace selvo;

namespace {
constexpr int kMembers = 200000;
constexpr int kSales = 1000;
constexpr int kLinesPerSale = 5;

bool fillMembers(AppContext& ctx) {
    if (!ctx.db.begin())
        return false;
    QSqlQuery q(ctx.db.handle());
    q.prepare(
        QStringLiteral("INSERT INTO tb_members(MemberCode, TrueName, FirstSpell, MobilePhone, Sex, IsLuner, "
                       "Integral, Cumulative, Balance, UserState, photo) "
                       "VALUES(?, ?, ?, ?, -1, 0, ?, 0, ?, 0, '')"));
    for (int i = 0; i < kMembers; ++i) {
        q.addBindValue(QString::asprintf("VIP%06d", i));
        q.addBindValue(QStringLiteral("会员%1").arg(i));
        q.addBindValue(QStringLiteral("HY%1").arg(i));
        q.addBindValue(QString::asprintf("139%08d", i));
        q.addBindValue(100000);
        q.addBindValue(100000.0);
        if (!q.exec())
            return false;
    }
    return ctx.db.commit();
}

QList<double> sorted(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v;
}
double percentile(const QList<double>& v, double p) {
    return v[std::min<qsizetype>(v.size() - 1, qsizetype(p * (v.size() - 1) + 0.5))];
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    AppContext ctx;
    if (!bench::openCatalogue(ctx, dir))
        return 1;
    QElapsedTimer fill;
    fill.start();
    if (!fillMembers(ctx)) {
        std::fprintf(stderr, "cannot fill members: %s\n", qPrintable(ctx.db.lastError()));
        return 1;
    }
    std::printf("fixture: %d members, made in %.1f s; engine %s\n", kMembers, fill.elapsed() / 1000.0,
                ctx.db.engine() == db::Engine::Sqlite ? "SQLite" : "PostgreSQL");
    ctx.settings.yuanToInteral = 10;
    ctx.settings.interalToYuan = 100;

    QList<int> productIds;
    if (auto q = ctx.db.select(QStringLiteral("SELECT ID FROM tb_product WHERE State = 1"))) {
        while (q->next())
            productIds << q->value(0).toInt();
    }
    auto firstMember = ctx.db.scalar(QStringLiteral("SELECT min(ID) FROM tb_members"));
    const int memberBase = firstMember ? firstMember->toInt() : 1;

    // Drafts first: only the posting is timed.
    QRandomGenerator rng(20240601);
    QList<OrderDraft> drafts;
    for (int s = 0; s < kSales; ++s) {
        Cart cart;
        while (cart.size() < kLinesPerSale) {
            const int row =
                cart.add(*LoadSaleProduct(ctx, productIds[int(rng.bounded(productIds.size()))]), true);
            cart.applyEdit(row, {double(1 + rng.bounded(3)), 9.5, cart.rows()[row].price * 0.95, false});
        }
        const CartTotals t = cart.totals(ctx.settings);
        Payment pay;
        int member = memberBase + int(rng.bounded(kMembers));
        switch (s % 4) {
        case 0: // a guest in cash
            member = kWalkInMember;
            pay.cashReceived = std::ceil(t.amountDue());
            pay.change = RoundCents(pay.cashReceived - t.amountDue());
            break;
        case 1: // a member in cash
            pay.cashReceived = t.amountDue();
            break;
        case 2: // from the balance, topped up automatically
            pay.payType = PayBalance;
            pay.recharge = 5;
            pay.shortfall = 5;
            pay.balanceBefore = 100000;
            break;
        default: // with points
            pay.payType = PayPoints;
            pay.pointsUsed = PointsNeeded(t.amountDue(), ctx.settings.interalToYuan);
            break;
        }
        drafts << MakeSaleDraft(cart, ctx.settings, member, pay, t.points, {}, {});
    }

    // The smallest transaction that must reach the disk: one new row in a table of its own. Timed
    // between the postings, so both meet the same disk and the same load.
    ctx.db.exec(QStringLiteral("CREATE TABLE bench_commit(n integer)"));
    int failed = 0;
    const auto run = [&](const char* how) {
        QList<double> postMs;
        QList<double> commitMs;
        int failedHere = 0;
        for (const OrderDraft& d : drafts) {
            QElapsedTimer t;
            t.start();
            const PostResult r = PostOrder(ctx, d);
            postMs << t.nsecsElapsed() / 1e6;
            if (!r.ok) {
                ++failedHere;
                std::fprintf(stderr, "posting failed: %s %s\n", qPrintable(r.message), qPrintable(r.detail));
            }
            t.restart();
            db::runTransaction(ctx.db, [&] {
                return ctx.db.exec(QStringLiteral("INSERT INTO bench_commit(n) VALUES(?)"),
                                   {int(commitMs.size())});
            });
            commitMs << t.nsecsElapsed() / 1e6;
        }
        failed += failedHere;
        const QList<double> post = sorted(postMs);
        const QList<double> commit = sorted(commitMs);
        std::printf("\n%s:\n", how);
        std::printf("posted %d five-line sales (%d failed), a quarter each: guest cash, member cash, balance "
                    "with automatic recharge, points\n",
                    int(post.size()) - failedHere, failedHere);
        std::printf("posting:          median %7.3f ms   p99 %7.3f ms   max %7.3f ms\n",
                    percentile(post, 0.5), percentile(post, 0.99), post.last());
        std::printf("durable commit:   median %7.3f ms   p99 %7.3f ms   (a one-row insert)\n",
                    percentile(commit, 0.5), percentile(commit, 0.99));
        std::printf(
            "posting / commit: %.2f x at the median, p99 %.2f x the commit's median (%.2f x its p99)\n",
            percentile(post, 0.5) / percentile(commit, 0.5), percentile(post, 0.99) / percentile(commit, 0.5),
            percentile(post, 0.99) / percentile(commit, 0.99));
        std::fflush(stdout);
    };
    // The naive way: SQLite's connection copies its log back into the database itself, at the
    // end of whichever commit passes the log's limit. Then as the program runs.
    run("each commit may copy the log back itself (SQLite's default)");
    {
        db::Checkpointer checkpointer(ctx.db);
        run(checkpointer.running() ? "the log copied back on a connection of its own (as the program runs)"
                                   : "the same again (no log to copy on this engine)");
    }
    std::printf("orders in the shop: %lld\n",
                ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_orders"))->toLongLong());
    return failed == 0 ? 0 : 1;
}
