#pragma once

#include "core/products/ProductList.h"

#include <QSet>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidgetItem;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;
class CPrdTypeTree;

// The product page, the "商品" tab of the main window: the category tree on the left, the
// products of the selected node on the right, with a search box and a property filter.
class CPrdManDlg final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrdManDlg)

public:
    explicit CPrdManDlg(AppContext& context, QWidget* parent = nullptr);
    ~CPrdManDlg() override;

    CPrdTypeTree* tree() const { return m_tree; }
    CListCtrlPlus* list() const { return m_list; }
    QLineEdit* searchEdit() const { return m_search; }
    QComboBox* propertyList() const { return m_property; }
    // The last list filter: kListAllOnSale, kListOffShelf or a category ID.
    int listFilter() const { return m_listFilter; }

    // Called by the product editor after a save.
    void productAdded(int productId);
    // Products created elsewhere (the import), as listed: the view and the tree counts follow.
    void productsAdded(const QList<ProductRow>& rows);
    void productChanged(int productId);

    // "获取模板" and "导入产品".
    void saveTemplate();
    void importProducts();
    // Where the delivered template lies (core/store/InstallPaths.h); found from the
    // executable's folder unless set.
    QString templateFolder() const { return m_templateFolder; }
    void setTemplateFolder(const QString& folder) { m_templateFolder = folder; }

    // Runs the product editor (-1 adds).
    void openEditor(int productId);
    // "查询": lists the remembered filter again with the current search text and property.
    void search();
    // The row menu "产品" for a list row; the caller owns it.
    QMenu* createRowMenu(int row, QWidget* parent);
    void deleteRow(int row);
    void toggleRowState(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void firstFill();
    void nodeSelected(QTreeWidgetItem* node);
    // Lists a filter: every on-sale product, the off-shelf ones, or a category with its
    // subcategories (depth first).
    void list(int filter);
    void setRowTexts(int row, const ProductRow& product);
    ProductFilter currentFilter() const;
    bool belongsInView(const ProductRow& row) const;

    AppContext& m_context;
    QPushButton* m_add;
    QPushButton* m_purchasing;
    QComboBox* m_property;
    QLineEdit* m_search;
    QPushButton* m_query;
    QPushButton* m_import;
    QPushButton* m_template;
    QString m_templateFolder;
    CPrdTypeTree* m_tree;
    CListCtrlPlus* m_list;
    int m_listFilter = kListAllOnSale;
    QSet<int> m_listedCategories; // the categories the current category listing covers
    ProductFilter m_shownFilter;  // the search text and property the list was made with
};

} // namespace selvo::gui
