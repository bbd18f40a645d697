// The catalogue screens with 100,000 products in 1,000 categories: filling the category tree in
// both modes, the product page's list for each kind of tree node, the sale screen's search
// through the tree and the picker's answer to each keystroke. Figures are medians, in ms; the
// sale screen's tree also filled at once, every product in it, as small catalogues are.
#include "CatalogueFixture.h"

#include "gui/products/CPrdManDlg.h"
#include "gui/products/CSelPrdDlg.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <limits>

using namespace selvo;
using namespace selvo::gui;
using selvo::bench::medianMs;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppContext ctx;
    if (!bench::openCatalogue(ctx, dir))
        return 1;
    constexpr int runs = 7;

    {
        CPrdTypeTree tree(ctx);
        tree.resize(300, 700);
        tree.show();
        app.processEvents();
        std::printf("tree fill, product page (mode 0):          %8.2f ms\n", medianMs(runs, [&] {
                        tree.LoadTree(0);
                        app.processEvents();
                    }));
        std::printf("tree count update (UpdateCounts(root)):    %8.2f ms\n",
                    medianMs(runs, [&] { tree.UpdateCounts(tree.rootNode()); }));
        for (const bool filled : {true, false}) {
            tree.setEagerLimit(filled ? std::numeric_limits<int>::max() : CPrdTypeTree::kEagerProducts);
            std::printf("\nsale screen (mode 1), %s:\n",
                        filled ? "every product filled at once" : "categories filled as they are opened");
            std::printf("  tree shown:                               %8.2f ms\n", medianMs(runs, [&] {
                            tree.LoadTree(1);
                            app.processEvents();
                        }));
            const QString code =
                ctx.db
                    .scalar(QStringLiteral("SELECT PrdCode FROM tb_product WHERE State = 1 ORDER BY ID DESC"))
                    ->toString();
            for (const QString& text : {QStringLiteral("K"), QStringLiteral("KL1"), QStringLiteral("KL19999"),
                                        QStringLiteral("KL99999"), code, QStringLiteral("没有这个")}) {
                bool found = false;
                const double ms = medianMs(runs, [&] {
                    found = tree.SelectMatch(text);
                    app.processEvents();
                });
                std::printf("  search %-12s (SelectMatch):         %8.2f ms (%s)\n",
                            qPrintable(QLatin1Char('"') + text + QLatin1Char('"')), ms,
                            found ? "found" : "no match");
            }
        }
        std::printf("\n");
    }

    {
        CPrdManDlg page(ctx);
        page.resize(1280, 800);
        page.show();
        while (!page.tree()->rootNode())
            app.processEvents();
        CPrdTypeTree* tree = page.tree();
        QTreeWidgetItem* top = tree->rootNode()->child(0);
        QTreeWidgetItem* sub = top->child(0);
        const struct {
            const char* label;
            QTreeWidgetItem* node;
        } nodes[] = {{"\"全部商品\"", tree->rootNode()},
                     {"a category with 9 subcategories", top},
                     {"a subcategory", sub},
                     {"\"下架商品\"", tree->offShelfNode()}};
        for (const auto& n : nodes) {
            const double ms = medianMs(runs, [&] {
                tree->setCurrentItem(nullptr);
                tree->setCurrentItem(n.node);
                app.processEvents();
            });
            std::printf("product page list, %-31s %8.2f ms (%d rows)\n", n.label, ms,
                        page.list()->rowCount());
        }
        std::printf("  the same, every row read at once (\"全部商品\", ListProducts): %8.2f ms\n",
                    medianMs(3, [&] { ListProducts(ctx, kListAllOnSale, {}); }));
        tree->setCurrentItem(tree->rootNode());
        app.processEvents();
        const double ms = medianMs(runs, [&] {
            page.productChanged(page.list()->itemData(page.list()->rowCount() - 1).toInt());
            app.processEvents();
        });
        std::printf("product changed (row rewrite + counts):    %8.2f ms on %d rows\n", ms,
                    page.list()->rowCount());
    }

    {
        CSelPrdDlg picker(ctx);
        picker.show();
        app.processEvents();
        QString typed;
        for (const QString& key :
             {QStringLiteral("K"), QStringLiteral("L"), QStringLiteral("1"), QStringLiteral("9"),
              QStringLiteral("9"), QStringLiteral("9"), QStringLiteral("9")}) {
            typed += key;
            const double ms = medianMs(runs,
                                       [&] {
                                           picker.searchEdit()->setText(typed);
                                           app.processEvents();
                                           picker.searchEdit()->setText(typed.chopped(1));
                                           app.processEvents();
                                       }) /
                              2;
            picker.searchEdit()->setText(typed);
            std::printf("picker keystroke -> %-9s (query + list): %8.2f ms (%d rows)\n",
                        qPrintable(QLatin1Char('"') + typed + QLatin1Char('"')), ms,
                        picker.list()->rowCount());
        }
    }
    return 0;
}
