#include "gui/widgets/CPrdTypeTree.h"

#include "core/products/Categories.h"
#include "core/store/AppContext.h"
#include "gui/widgets/ColorRef.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

#include <functional>

namespace selvo::gui {

namespace {
enum Role {
    KindRole = Qt::UserRole,
    IdRole,
    NameRole,
    InitialsRole,
    CodeRole,
    SearchRole, // upper-cased name, initials and code, for SelectMatch
    ImageRole,
};

constexpr quint32 kSelectedLeafColour = 0xFF9933;

QPixmap drawImage(CPrdTypeTree::Image which) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0x31, 0x6A, 0xC5);
    switch (which) {
    case CPrdTypeTree::ImageTree:
        p.setPen(QPen(blue, 1.5));
        p.drawLine(4, 3, 4, 13);
        p.drawLine(4, 8, 11, 8);
        p.drawLine(4, 13, 11, 13);
        p.fillRect(2, 1, 5, 4, blue);
        break;
    case CPrdTypeTree::ImageCollapsed:
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawPolygon(QPolygonF({QPointF(5, 3), QPointF(12, 8), QPointF(5, 13)}));
        break;
    case CPrdTypeTree::ImageExpanded:
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawPolygon(QPolygonF({QPointF(3, 5), QPointF(13, 5), QPointF(8, 12)}));
        break;
    case CPrdTypeTree::ImageOffShelf:
        p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1.5));
        p.drawRect(QRectF(2.5, 4.5, 11, 9));
        p.setPen(QPen(QColor(0xD0, 0x30, 0x30), 1.5));
        p.drawLine(4, 6, 12, 12);
        p.drawLine(12, 6, 4, 12);
        break;
    case CPrdTypeTree::ImageProduct:
        p.setPen(QPen(QColor(0xC0, 0x80, 0x20), 1));
        p.setBrush(QColor(0xF5, 0xC0, 0x50));
        p.drawRect(QRectF(3.5, 4.5, 9, 8));
        p.drawLine(QPointF(3.5, 7.5), QPointF(12.5, 7.5));
        break;
    }
    return pm;
}

// A selected node without children is drawn light blue with white text.
class LeafDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!(option.state & QStyle::State_Selected) || index.model()->hasChildren(index)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        const QRect iconRect = style ? style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, widget)
                                     : QRect(opt.rect.topLeft(), QSize(16, 16));
        QRect textRect = style ? style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget) : opt.rect;
        const int textWidth = opt.fontMetrics.horizontalAdvance(opt.text) + 4;
        textRect.setWidth(std::min(textRect.width(), textWidth));
        painter->save();
        opt.icon.paint(painter, iconRect);
        painter->fillRect(textRect, ColorFromRef(kSelectedLeafColour));
        painter->setPen(Qt::white);
        painter->setFont(opt.font);
        painter->drawText(textRect.adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          opt.text);
        painter->restore();
    }
};

// The node images carry the arrows, so the view draws no expand buttons of its own; the
// selection covers the node itself, not the indentation to its left.
class TreeStyle final : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch)
            return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ItemView_ShowDecorationSelected)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QTreeWidgetItem* nextSibling(QTreeWidgetItem* node) {
    QTreeWidgetItem* parent = node->parent();
    if (parent) {
        const int i = parent->indexOfChild(node);
        return i + 1 < parent->childCount() ? parent->child(i + 1) : nullptr;
    }
    QTreeWidget* tree = node->treeWidget();
    if (!tree)
        return nullptr;
    const int i = tree->indexOfTopLevelItem(node);
    return i + 1 < tree->topLevelItemCount() ? tree->topLevelItem(i + 1) : nullptr;
}

// Visits `start`, its following siblings and all their descendants in tree order; stops when
// `visit` returns true and returns that node.
QTreeWidgetItem* visitFrom(QTreeWidgetItem* start, const std::function<bool(QTreeWidgetItem*)>& visit) {
    for (QTreeWidgetItem* n = start; n; n = nextSibling(n)) {
        if (visit(n))
            return n;
        if (n->childCount() > 0) {
            if (QTreeWidgetItem* found = visitFrom(n->child(0), visit))
                return found;
        }
    }
    return nullptr;
}
} // namespace

CPrdTypeTree::CPrdTypeTree(AppContext& context, QWidget* parent) : QTreeWidget(parent), m_context(context) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setItemDelegate(new LeafDelegate(this));
    auto* style = new TreeStyle;
    style->setParent(this);
    setStyle(style);
    setAccessibleName(QStringLiteral("商品分类"));
    // On the product page a category's arrow follows its expansion (a double-click toggles it).
    const auto arrow = [this](QTreeWidgetItem* node, Image img) {
        const int kind = recordOf(node).kind;
        if (m_mode == 0 && (kind == RootNode || kind == CategoryNode))
            setImage(node, img);
    };
    connect(this, &QTreeWidget::itemExpanded, this, [this, arrow](QTreeWidgetItem* node) {
        arrow(node, ImageExpanded);
        if (m_lazy) {
            fillCategory(node);
            if (recordOf(node).kind == CategoryNode)
                setImage(node, ImageExpanded);
        }
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this, arrow](QTreeWidgetItem* node) {
        arrow(node, ImageCollapsed);
        if (m_lazy && recordOf(node).kind == CategoryNode)
            setImage(node, ImageCollapsed);
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        const NodeRecord r = recordOf(item);
        if (m_mode == 1 && r.kind == ProductNode)
            emit productActivated(r.id);
    });
}

CPrdTypeTree::~CPrdTypeTree() = default;

QString CPrdTypeTree::rootName() {
    return QStringLiteral("全部商品");
}

QString CPrdTypeTree::offShelfName() {
    return QStringLiteral("下架商品");
}

QIcon CPrdTypeTree::image(Image which) {
    static const QIcon icons[] = {QIcon(drawImage(ImageTree)), QIcon(drawImage(ImageCollapsed)),
                                  QIcon(drawImage(ImageExpanded)), QIcon(drawImage(ImageOffShelf)),
                                  QIcon(drawImage(ImageProduct))};
    return icons[which];
}

QTreeWidgetItem* CPrdTypeTree::makeNode(const NodeRecord& record, const QString& text, Image img) const {
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, KindRole, record.kind);
    node->setData(0, IdRole, record.id);
    node->setData(0, NameRole, record.name);
    if (record.kind == ProductNode) {
        node->setData(0, InitialsRole, record.initials);
        node->setData(0, CodeRole, record.code);
    }
    node->setData(0, SearchRole,
                  QStringList{record.name.toUpper(), record.initials.toUpper(), record.code.toUpper()});
    node->setData(0, ImageRole, int(img));
    node->setIcon(0, image(img));
    return node;
}

void CPrdTypeTree::setRecordName(QTreeWidgetItem* node, const QString& name) {
    node->setData(0, NameRole, name);
    QStringList keys = node->data(0, SearchRole).toStringList();
    if (!keys.isEmpty())
        keys[0] = name.toUpper();
    node->setData(0, SearchRole, keys);
}

void CPrdTypeTree::setImage(QTreeWidgetItem* node, Image img) {
    node->setData(0, ImageRole, int(img));
    node->setIcon(0, image(img));
}

CPrdTypeTree::NodeRecord CPrdTypeTree::recordOf(const QTreeWidgetItem* node) {
    NodeRecord r;
    if (!node)
        return r;
    r.kind = node->data(0, KindRole).toInt();
    r.id = node->data(0, IdRole).toInt();
    r.name = node->data(0, NameRole).toString();
    r.initials = node->data(0, InitialsRole).toString();
    r.code = node->data(0, CodeRole).toString();
    return r;
}

int CPrdTypeTree::imageOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, ImageRole).toInt() : -1;
}

void CPrdTypeTree::LoadTree(int mode) {
    // Signals of the delete-all would make the owner list for nodes that are going away.
    {
        const QSignalBlocker block(this);
        clear();
    }
    m_root = nullptr;
    m_offShelf = nullptr;
    m_mode = mode;

    m_root = makeNode({RootNode, kRootCategory, rootName(), {}, {}}, rootName(), ImageExpanded);
    const CategoryTree categories = CategoryTree::load(m_context);
    if (categories.isEmpty()) {
        addTopLevelItem(m_root);
        return;
    }

    // A big catalogue fills each category as it is opened; a small one at once, all open.
    m_lazy = mode == 1 && OnSaleProductCount(m_context).value_or(0) > m_eagerLimit;
    m_filled.clear();
    QHash<int, QList<TreeProduct>> products;
    if (mode == 1 && !m_lazy)
        products = OnSaleProductsByCategory(m_context);
    const CategoryCounts counts = m_lazy ? LoadCategoryCounts(m_context) : CategoryCounts();
    // Built detached and attached in one step: far cheaper than inserting into a live view.
    QList<QTreeWidgetItem*> path{m_root}; // path[d] = the node at depth d - 1 (path[0] the root)
    for (const auto& [id, depth] : categories.depthFirst()) {
        const Category* c = categories.find(id);
        QTreeWidgetItem* node =
            makeNode({CategoryNode, id, c->name, {}, {}}, c->name, m_lazy ? ImageCollapsed : ImageExpanded);
        path.resize(depth + 1);
        path[depth]->addChild(node);
        path.append(node);
        if (m_lazy && counts.direct(id) > 0)
            node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        if (mode == 1 && !m_lazy) {
            const QList<TreeProduct> list = products.value(id);
            QList<QTreeWidgetItem*> nodes;
            nodes.reserve(list.size());
            for (const TreeProduct& p : list)
                nodes.append(makeNode({ProductNode, p.id, p.name, p.initials, p.code}, TreeProductText(p),
                                      ImageProduct));
            node->addChildren(nodes);
        }
    }
    QList<QTreeWidgetItem*> top{m_root};
    if (mode == 0) {
        m_offShelf =
            makeNode({OffShelfNode, kOffShelfId, offShelfName(), {}, {}}, offShelfName(), ImageOffShelf);
        top.append(m_offShelf);
    }
    addTopLevelItems(top);
    UpdateCounts(m_root);
    if (m_lazy)
        m_root->setExpanded(true);
    else
        expandAll();
}

void CPrdTypeTree::fillCategory(QTreeWidgetItem* node) {
    const NodeRecord r = recordOf(node);
    if (!m_lazy || r.kind != CategoryNode || m_filled.contains(r.id))
        return;
    m_filled.insert(r.id);
    QList<QTreeWidgetItem*> nodes;
    for (const TreeProduct& p : OnSaleProductsOf(m_context, r.id))
        nodes.append(
            makeNode({ProductNode, p.id, p.name, p.initials, p.code}, TreeProductText(p), ImageProduct));
    // Products before the subcategories, as in a tree filled at once.
    node->insertChildren(0, nodes);
}

void CPrdTypeTree::UpdateCounts(QTreeWidgetItem* node) {
    if (!node)
        return;
    const CategoryTree categories = CategoryTree::load(m_context);
    const CategoryCounts counts = LoadCategoryCounts(m_context);
    const QHash<int, int> totals = categories.totals(counts);
    visitFrom(node, [&](QTreeWidgetItem* n) {
        const int kind = n->data(0, KindRole).toInt();
        if (kind == ProductNode) // the bulk of a sale-screen tree; its text never changes
            return false;
        const QString name = n->data(0, NameRole).toString();
        const int id = n->data(0, IdRole).toInt();
        if (kind == RootNode || kind == CategoryNode)
            n->setText(0, CategoryCountText(name, counts.direct(id), totals.value(id)));
        else if (kind == OffShelfNode)
            n->setText(0, OffShelfCountText(name, counts.offShelf));
        return false;
    });
}

QTreeWidgetItem* CPrdTypeTree::FindCategoryNode(QTreeWidgetItem* start, int id) const {
    if (!start)
        return nullptr;
    return visitFrom(start, [id](QTreeWidgetItem* n) {
        const int kind = n->data(0, KindRole).toInt();
        return (kind == RootNode || kind == CategoryNode) && n->data(0, IdRole).toInt() == id;
    });
}

bool CPrdTypeTree::SelectMatch(const QString& text) {
    if (!m_root)
        return false;
    setCurrentItem(m_root);
    if (text.isEmpty())
        return false;
    if (m_lazy)
        return selectMatchUnfilled(text);
    // A scanner types a whole code: the product with exactly that code comes before any whose
    // name, initials or code merely contain it ("123" is never "4123").
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->data(0, KindRole).toInt() == ProductNode &&
            (*it)->data(0, CodeRole).toString().toUpper() == text) {
            setCurrentItem(*it);
            scrollToItem(*it);
            return true;
        }
    }
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const QStringList keys = (*it)->data(0, SearchRole).toStringList();
        for (const QString& key : keys) {
            if (key.contains(text)) {
                setCurrentItem(*it);
                scrollToItem(*it);
                return true;
            }
        }
    }
    return false;
}

bool CPrdTypeTree::selectMatchUnfilled(const QString& text) {
    const TreeMatch match = FindTreeMatch(m_context, CategoryTree::load(m_context), text, rootName());
    QTreeWidgetItem* target = nullptr;
    switch (match.kind) {
    case TreeMatch::None:
        return false;
    case TreeMatch::Root:
        return true;
    case TreeMatch::Category:
        target = FindCategoryNode(m_root, match.id);
        break;
    case TreeMatch::Product:
        if (QTreeWidgetItem* category = FindCategoryNode(m_root, match.category)) {
            fillCategory(category);
            for (int i = 0; i < category->childCount() && !target; ++i) {
                const NodeRecord r = recordOf(category->child(i));
                if (r.kind == ProductNode && r.id == match.id)
                    target = category->child(i);
            }
        }
        break;
    }
    if (!target)
        return false;
    for (QTreeWidgetItem* up = target->parent(); up; up = up->parent())
        up->setExpanded(true);
    setCurrentItem(target);
    scrollToItem(target);
    return true;
}

QTreeWidgetItem* CPrdTypeTree::AddCategory(const QString& proposedParentName, int proposedParentId) {
    QString parentName = proposedParentName;
    int parentId = proposedParentId;
    if (parentName.isEmpty() && parentId < 0) {
        const NodeRecord selected = recordOf(currentItem());
        parentName = selected.name;
        if (selected.kind == RootNode || selected.kind == CategoryNode)
            parentId = selected.id;
    }
    if (!m_prompts.askCategory)
        return nullptr;
    const auto answer = m_prompts.askCategory(this, parentName, QString(), parentId, -1);
    if (!answer)
        return nullptr;
    const QString name = answer->name;
    const int pid = answer->parentId;
    const std::optional<int> id = AddCategoryRow(m_context, name, pid);
    if (!id) {
        refuse(CategorySaveFailedText());
        return nullptr;
    }
    QTreeWidgetItem* parentNode = FindCategoryNode(m_root, pid);
    if (!parentNode || m_root->childCount() == 0) {
        // The tree did not show that parent (or showed the root alone): fill it again.
        LoadTree(m_mode);
        QTreeWidgetItem* node = FindCategoryNode(m_root, *id);
        if (node)
            setCurrentItem(node);
        return node;
    }
    QTreeWidgetItem* node =
        makeNode({CategoryNode, *id, name, {}, {}}, NewCategoryText(name), ImageCollapsed);
    parentNode->addChild(node);
    parentNode->setExpanded(true);
    setCurrentItem(node);
    return node;
}

void CPrdTypeTree::EditCategory() {
    QTreeWidgetItem* node = currentItem();
    const NodeRecord r = recordOf(node);
    if (!node || r.kind != CategoryNode || !m_prompts.askCategory)
        return;
    const NodeRecord parent = node->parent() ? recordOf(node->parent()) : NodeRecord{};
    const int parentId = node->parent() ? parent.id : kRootCategory;
    const QString parentName = node->parent() ? parent.name : rootName();
    const auto answer = m_prompts.askCategory(this, parentName, r.name, parentId, r.id);
    if (!answer)
        return;
    const QString name = answer->name;
    const int pid = answer->parentId;
    switch (UpdateCategoryRow(m_context, r.id, name, pid)) {
    case CategoryUpdate::Saved:
        break;
    case CategoryUpdate::NotFound:
        return;
    case CategoryUpdate::WouldDetach:
    case CategoryUpdate::Failed:
        refuse(CategorySaveFailedText());
        return;
    }
    if (pid == parentId) {
        // The record name follows the text, or the next count update would bring back the old name.
        setRecordName(node, name);
        node->setText(0, name);
        return;
    }
    LoadTree(0);
    if (QTreeWidgetItem* moved = FindCategoryNode(m_root, r.id))
        setCurrentItem(moved);
}

void CPrdTypeTree::DeleteCategory() {
    QTreeWidgetItem* node = currentItem();
    const NodeRecord r = recordOf(node);
    if (!node || r.kind != CategoryNode || !m_prompts.confirm)
        return;
    if (!m_prompts.confirm(this, QStringLiteral("确认删除此分类？")))
        return;
    switch (DeleteCategoryRow(m_context, r.id)) {
    case CategoryDelete::InUse:
        refuse(CategoryInUseText());
        return;
    case CategoryDelete::Failed:
        refuse(QStringLiteral("删除分类失败，请重试！"));
        return;
    case CategoryDelete::Deleted:
        delete node;
        return;
    }
}

void CPrdTypeTree::refuse(const QString& text) {
    if (m_prompts.refuse)
        m_prompts.refuse(this, text);
}

QMenu* CPrdTypeTree::createCategoryMenu(QTreeWidgetItem* node, QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("产品分类"), parent);
    menu->setAccessibleName(QStringLiteral("产品分类"));
    QAction* edit = menu->addAction(QStringLiteral("修改此分类"));
    QAction* add = menu->addAction(QStringLiteral("添加下级分类"));
    QAction* remove = menu->addAction(QStringLiteral("删除此分类"));
    const int kind = recordOf(node).kind;
    edit->setEnabled(kind == CategoryNode);
    remove->setEnabled(kind == CategoryNode);
    add->setEnabled(kind == RootNode || kind == CategoryNode);
    connect(edit, &QAction::triggered, this, &CPrdTypeTree::EditCategory);
    connect(add, &QAction::triggered, this, [this] { AddCategory(QString()); });
    connect(remove, &QAction::triggered, this, &CPrdTypeTree::DeleteCategory);
    return menu;
}

void CPrdTypeTree::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* node = itemAt(event->pos());
    if (m_mode != 0 || !node)
        return;
    setCurrentItem(node);
    QMenu* menu = createCategoryMenu(node, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace selvo::gui
