// The catalogue's statements with 20,000 products in 300 categories: the category tree and
// its counts, the product page's listings, the picker's query per keystroke.
#include "CatalogueFixture.h"

#include "core/products/Categories.h"
#include "core/products/ProductList.h"
#include "core/products/ProductPicker.h"

#include <QCoreApplication>

#include <cstdio>

using namespace selvo;
using selvo::bench::medianMs;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    AppContext ctx;
    if (!bench::openCatalogue(ctx, dir))
        return 1;
    constexpr int runs = 15;

    int categories = 0;
    std::printf("tree data, table + counts (2 statements):   %8.2f ms\n", medianMs(runs, [&] {
                    const CategoryTree tree = CategoryTree::load(ctx);
                    const CategoryCounts counts = LoadCategoryCounts(ctx);
                    categories = int(tree.totals(counts).size());
                }));
    std::printf("  for comparison, two counts per category:  %8.2f ms (%d nodes)\n",
                medianMs(3,
                         [&] {
                             const CategoryTree tree = CategoryTree::load(ctx);
                             for (const auto& [id, depth] : tree.depthFirst()) {
                                 ctx.db.scalar(
                                     QStringLiteral(
                                         "SELECT count(ID) FROM tb_product WHERE State = 1 AND PrdType = ?"),
                                     {id});
                                 ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_productTypes WHERE Pid = ?"),
                                               {id});
                             }
                         }),
                categories);
    int onSale = 0;
    std::printf("sale-screen tree data, on-sale products:    %8.2f ms\n", medianMs(runs, [&] {
                    onSale = 0;
                    for (const auto& list : OnSaleProductsByCategory(ctx))
                        onSale += int(list.size());
                }));
    std::printf("  (%d on-sale products)\n", onSale);

    int rows = 0;
    std::printf("list \"全部商品\":                           %8.2f ms",
                medianMs(runs, [&] { rows = int(ListProducts(ctx, kListAllOnSale, {}).size()); }));
    std::printf(" (%d rows)\n", rows);
    const CategoryTree tree = CategoryTree::load(ctx);
    const int top = tree.depthFirst().first().first;
    std::printf("list a top category with 9 subcategories:   %8.2f ms",
                medianMs(runs, [&] { rows = int(ListCategoryProducts(ctx, tree, top, {}).size()); }));
    std::printf(" (%d rows)\n", rows);
    std::printf("list \"下架商品\":                           %8.2f ms",
                medianMs(runs, [&] { rows = int(ListProducts(ctx, kListOffShelf, {}).size()); }));
    std::printf(" (%d rows)\n", rows);
    std::printf("list \"全部商品\" searching \"可乐1\":          %8.2f ms", medianMs(runs, [&] {
                    rows = int(ListProducts(ctx, kListAllOnSale, {QStringLiteral("可乐1"), 0}).size());
                }));
    std::printf(" (%d rows)\n", rows);

    for (const QString& text :
         {QString(), QStringLiteral("K"), QStringLiteral("KL"), QStringLiteral("可乐19"),
          QStringLiteral("10019999"), QStringLiteral("没有这个")}) {
        std::printf("picker keystroke %-12s                %8.2f ms",
                    qPrintable(QLatin1Char('"') + text + QLatin1Char('"')),
                    medianMs(runs, [&] { rows = int(PickerRows(ctx, text).size()); }));
        std::printf(" (%d rows)\n", rows);
    }
    return 0;
}
