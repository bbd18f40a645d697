#pragma once

#include <QSet>
#include <QTreeWidget>

#include <functional>
#include <optional>

class QMenu;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// What editing a category asks of the operator. The tree shows no dialog, box or toast of its own:
// its owner hands these in (CategoryDialogPrompts in gui/products/CPrdTypeAdd.h); without them
// adding, editing and deleting a category do nothing.
struct CategoryPrompts {
    // What the operator gave on OK of the category dialog.
    struct Answer {
        QString name;
        int parentId = 0;
    };
    // Asks for a category's name and parent. The parent is preselected by `proposedParentId` when
    // it is >= 0, else by `proposedParentName`; `name` is the category's name so far (empty when
    // adding) and `editingId` the category edited (-1 when adding). std::nullopt: cancelled.
    std::function<std::optional<Answer>(QWidget* parent, const QString& proposedParentName,
                                        const QString& name, int proposedParentId, int editingId)>
        askCategory;
    // A yes/no question; true on yes.
    std::function<bool(QWidget* parent, const QString& question)> confirm;
    // A refusal or failure.
    std::function<void(QWidget* parent, const QString& text)> refuse;
};

// The category tree under the fixed root "全部商品", with product counts. Mode 0 (product page)
// adds the node "下架商品" and the category menu; mode 1 (sale screen) lists every on-sale
// product under its category, before the subcategories.
//
// Selecting a node makes it the current item; owners follow currentItemChanged() and read the
// node with recordOf(). In mode 1 a double-click on a product node emits productActivated().
class CPrdTypeTree final : public QTreeWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrdTypeTree)

public:
    enum NodeKind { RootNode = 0, CategoryNode = 1, ProductNode = 2, OffShelfNode = 3 };
    static constexpr int kOffShelfId = -2;
    static constexpr int kEagerProducts = 5000;

    // What every node carries: root {0, 0, "全部商品"}, category {1, ID, PrdTypeName}, product
    // {2, ID, PrdName, FirstSpell, PrdCode}, "下架商品" {3, -2, "下架商品"}.
    struct NodeRecord {
        int kind = RootNode;
        int id = 0;
        QString name;
        QString initials;
        QString code;
    };

    // The images of the nodes, in the order of the image strip.
    enum Image { ImageTree = 0, ImageCollapsed = 1, ImageExpanded = 2, ImageOffShelf = 3, ImageProduct = 4 };

    explicit CPrdTypeTree(AppContext& context, QWidget* parent = nullptr);
    ~CPrdTypeTree() override;

    static QString rootName();     // "全部商品"
    static QString offShelfName(); // "下架商品"

    // (Re)fills the whole tree: the category table and the counts are read once each, and in
    // mode 1 the on-sale products once, every node open. Past the eager limit of on-sale products,
    // mode 1 shows the categories closed and fills each with its products as it is opened.
    // An empty category table shows the root alone.
    void LoadTree(int mode);
    int mode() const { return m_mode; }
    // How many on-sale products mode 1 still fills at once (kEagerProducts unless set).
    void setEagerLimit(int products) { m_eagerLimit = products; }
    // Rewrites the texts of the node, its following siblings and all their descendants with
    // current counts.
    void UpdateCounts(QTreeWidgetItem* node);
    // The first root or category node with this ID, in tree order from `start` through its
    // following siblings and their descendants.
    QTreeWidgetItem* FindCategoryNode(QTreeWidgetItem* start, int id) const;
    // Selects the root, then the product whose code is exactly `text`, else the first node whose
    // upper-cased name, initials or code contains `text` (callers pass upper-case text).
    // Returns whether one matched.
    bool SelectMatch(const QString& text);
    // Asks for a new category under a proposed parent (by ID when known, else by name; empty
    // name and no ID: the selected node) and stores it. Returns the new node, or nullptr when
    // the operator cancelled or it could not be stored (a toast says so).
    QTreeWidgetItem* AddCategory(const QString& proposedParentName, int proposedParentId = -1);
    // What adding, editing and deleting ask of the operator; the owner sets them.
    void setPrompts(CategoryPrompts prompts) { m_prompts = std::move(prompts); }
    // Renames and/or moves the selected category.
    void EditCategory();
    // Asks, then deletes the selected category when it holds nothing.
    void DeleteCategory();

    QTreeWidgetItem* rootNode() const { return m_root; }
    QTreeWidgetItem* offShelfNode() const { return m_offShelf; }
    QTreeWidgetItem* selectedNode() const { return currentItem(); }
    static NodeRecord recordOf(const QTreeWidgetItem* node);
    static int imageOf(const QTreeWidgetItem* node);
    static QIcon image(Image which);

    // The category menu "产品分类" for a node (mode 0), entries greyed as the node allows.
    // The caller owns it; the right click shows it at the cursor.
    QMenu* createCategoryMenu(QTreeWidgetItem* node, QWidget* parent);

signals:
    void productActivated(int productId);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // A category of a tree filled as it is opened gets its products (once).
    void fillCategory(QTreeWidgetItem* node);
    bool selectMatchUnfilled(const QString& text);
    QTreeWidgetItem* makeNode(const NodeRecord& record, const QString& text, Image image) const;
    void setRecordName(QTreeWidgetItem* node, const QString& name);
    void setImage(QTreeWidgetItem* node, Image image);
    void refuse(const QString& text);

    AppContext& m_context;
    CategoryPrompts m_prompts;
    int m_mode = 0;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_offShelf = nullptr;
    bool m_lazy = false;
    int m_eagerLimit = kEagerProducts;
    QSet<int> m_filled; // categories given their products
};

} // namespace selvo::gui
