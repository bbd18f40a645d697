// selvo_cancel: one till cancelling orders, for the multi-till tests. Cancels each order of the
// list as the administrator, answering yes to every question, and reports per order:
//   cancelled <number>
//   refused <number> <message>
// Usage: selvo_cancel --data DIR --orders NO[,NO...] [--purchases] [--start-at EPOCH_MS]
// --purchases takes the numbers as purchase orders; --start-at waits until that moment, so
// several tills start together.
#include "core/products/Purchasing.h"
#include "core/sales/Cancellation.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>
#include <QThread>

using namespace selvo;

namespace {
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
    const QStringList orders =
        option(args, QStringLiteral("--orders")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (folder.isEmpty() || orders.isEmpty()) {
        err << "usage: selvo_cancel --data DIR --orders NO[,NO...] [--purchases] [--start-at EPOCH_MS]\n";
        return 2;
    }
    AppContext ctx;
    const OpenResult opened = OpenDatabase(ctx, folder);
    if (!opened.ok) {
        err << "cannot open: " << opened.detail << Qt::endl;
        return 1;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    const qint64 startAt = option(args, QStringLiteral("--start-at")).toLongLong();
    while (QDateTime::currentMSecsSinceEpoch() < startAt)
        QThread::msleep(1);
    const bool purchases = args.contains(QStringLiteral("--purchases"));
    for (const QString& no : orders) {
        if (purchases) {
            const PurchaseCancelResult r = CancelPurchase(
                ctx, no, QStringLiteral("10"), QStringLiteral("管理员"), QStringLiteral("24-03-05 14:30:00"));
            if (r.ok)
                out << "cancelled " << no << Qt::endl;
            else
                out << "refused " << no << ' ' << r.message << Qt::endl;
            continue;
        }
        const CancelPlan plan = PrepareCancelOrder(ctx, no);
        if (!plan.ok()) {
            out << "refused " << no << ' ' << plan.refusal << Qt::endl;
            continue;
        }
        const CancelResult r = CommitCancelOrder(ctx, plan, QStringLiteral("撤销订单，订单详情（测试）"));
        if (r.ok)
            out << "cancelled " << no << Qt::endl;
        else
            out << "refused " << no << ' ' << r.message << Qt::endl;
    }
    return 0;
}
