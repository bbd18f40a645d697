#pragma once

// A shop with 100,000 products in 1,000 categories (100 top-level, each with 9 subcategories),
// one in twenty off the shelf, for the catalogue benchmarks. SELVO_BENCH_PRODUCTS sets another
// number of products.
#include "core/store/AppContext.h"
#include "core/store/Startup.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>

#include <cstdio>
#include <cstdlib>

namespace selvo::bench {

inline constexpr int kTopCategories = 100;
inline constexpr int kSubPerTop = 9;
inline int productCount() {
    const int n = qEnvironmentVariableIntValue("SELVO_BENCH_PRODUCTS");
    return n > 0 ? n : 100000;
}

inline void fillCatalogue(AppContext& ctx) {
    const char* names[] = {"可乐", "雪碧", "面包", "牛奶", "饼干", "香皂", "毛巾", "牙刷", "电池", "纸巾"};
    const char* initials[] = {"KL", "XB", "MB", "NN", "BG", "XZ", "MJ", "YS", "DC", "ZJ"};
    QList<int> categories;
    ctx.db.begin();
    for (int t = 0; t < kTopCategories; ++t) {
        const int top = int(*ctx.db.insertReturningId(
            QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES(?, 0)"),
            {QStringLiteral("大类%1").arg(t)}));
        categories << top;
        for (int s = 0; s < kSubPerTop; ++s)
            categories << int(*ctx.db.insertReturningId(
                QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES(?, ?)"),
                {QStringLiteral("小类%1-%2").arg(t).arg(s), top}));
    }
    const int products = productCount();
    for (int i = 0; i < products; ++i) {
        const int k = i % 10;
        ctx.db.exec(
            QStringLiteral("INSERT INTO tb_product(PrdCode, PrdName, FirstSpell, Price, PurchasePrice, "
                           "PrdType, MeasuringUnit, MustIntNum, PrdInventory, State, PrdProperty, AddDate) "
                           "VALUES(?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?)"),
            {QString::number(10000000 + i), QString(QString::fromUtf8(names[k]) + QString::number(i)),
             QString(QString::fromUtf8(initials[k]) + QString::number(i)), 1.5 + i % 50, 1.0 + i % 40,
             categories[i % categories.size()], QStringLiteral("个"), double(i % 100), i % 20 == 0 ? 2 : 1,
             1 + i % 3,
             QStringLiteral("2024-01-01 00:00:00").replace(14, 2, QString::asprintf("%02d", i % 60))});
    }
    ctx.db.commit();
}

// Opens a fresh shop database in `dir` and fills it.
inline bool openCatalogue(AppContext& ctx, const QTemporaryDir& dir) {
    if (!OpenDatabase(ctx, dir.path()).ok) {
        std::fprintf(stderr, "cannot open the database\n");
        return false;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    QElapsedTimer t;
    t.start();
    fillCatalogue(ctx);
    std::printf("fixture: %d products in %d categories, made in %.0f ms\n", productCount(),
                kTopCategories * (1 + kSubPerTop), t.nsecsElapsed() / 1e6);
    return true;
}

// Median of `runs` timings of `work`, in milliseconds.
template <typename F> double medianMs(int runs, F&& work) {
    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms << t.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace selvo::bench
