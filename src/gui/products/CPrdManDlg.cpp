#include "gui/products/CPrdManDlg.h"

#include "core/products/Categories.h"
#include "core/store/AppContext.h"
#include "core/store/InstallPaths.h"
#include "core/store/StoreOps.h"
#include "core/support/Money.h"
#include "core/support/Number.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/products/CPrdAddDlg.h"
#include "gui/products/CPrdCheck.h"
#include "gui/products/CPrdCheckRecord.h"
#include "gui/products/CPrdTypeAdd.h"
#include "gui/products/CStrorPutInMan.h"
#include "gui/products/ProductImportFlow.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace selvo::gui {

namespace {
// The page is drawn first; the slow filling follows once it is on screen.
constexpr int kFirstFillDelayMs = 50;
constexpr int kStripHeight = 40;
constexpr int kStockColumn = 7;

QString deleteQuestion() {
    return QStringLiteral(
        "确认要删除此商品吗？  此操作不可恢复！请慎用！\n\n注意：如非必要，请勿删除，可将产品设定为下架");
}
} // namespace

CPrdManDlg::CPrdManDlg(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_add(new QPushButton(QStringLiteral("新增商品"), this)),
      m_purchasing(new QPushButton(QStringLiteral("采购管理"), this)), m_property(new QComboBox(this)),
      m_search(new QLineEdit(this)), m_query(new QPushButton(QStringLiteral("查询"), this)),
      m_import(new QPushButton(QStringLiteral("导入产品"), this)),
      m_template(new QPushButton(QStringLiteral("获取模板"), this)),
      m_templateFolder(TemplateFolder(QCoreApplication::applicationDirPath())),
      m_tree(new CPrdTypeTree(context, this)), m_list(new CListCtrlPlus(this)) {
    setAccessibleName(QStringLiteral("商品"));
    m_add->setAccessibleName(m_add->text());
    m_purchasing->setAccessibleName(m_purchasing->text());
    m_query->setAccessibleName(m_query->text());
    m_import->setAccessibleName(m_import->text());
    m_template->setAccessibleName(m_template->text());
    m_property->setAccessibleName(QStringLiteral("产品性质："));
    m_search->setAccessibleName(QStringLiteral("查询条件"));
    m_list->setAccessibleName(QStringLiteral("商品列表"));

    m_property->addItem(QStringLiteral("所有"), 0);
    m_property->addItem(QStringLiteral("常规"), int(PropertyRegular));
    m_property->addItem(QStringLiteral("特价"), int(PropertySpecialOffer));
    m_property->addItem(QStringLiteral("赠品"), int(PropertyGift));
    m_property->setCurrentIndex(0);
    QPalette red = m_search->palette();
    red.setColor(QPalette::Text, Qt::red);
    m_search->setPalette(red);
    m_search->setMinimumWidth(160);

    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("strip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(1, 4, 4, 4);
    auto* propertyLabel = new QLabel(QStringLiteral("产品性质："), strip);
    propertyLabel->setAccessibleName(propertyLabel->text());
    for (QWidget* w : std::initializer_list<QWidget*>{m_add, m_purchasing, propertyLabel, m_property,
                                                      m_search, m_query, m_import, m_template})
        w->setParent(strip);
    row->addWidget(m_add);
    row->addWidget(m_purchasing);
    row->addSpacing(16);
    row->addWidget(propertyLabel);
    row->addWidget(m_property);
    row->addWidget(m_search);
    row->addWidget(m_query);
    row->addSpacing(16);
    row->addWidget(m_import);
    row->addWidget(m_template);
    row->addStretch(1);

    const struct {
        const char* caption;
        int width;
        Qt::Alignment alignment;
    } columns[] = {{"商品编号", 100, Qt::AlignLeft},    {"商品名称", 135, Qt::AlignLeft},
                   {"简码", 60, Qt::AlignLeft},         {"销售单价", 80, Qt::AlignRight},
                   {"计量单位", 100, Qt::AlignLeft},    {"产品性质", 85, Qt::AlignHCenter},
                   {"产品类别", 100, Qt::AlignHCenter}, {"当前库存", 100, Qt::AlignRight}};
    for (const auto& c : columns)
        m_list->addColumn(QString::fromUtf8(c.caption), c.width, c.alignment);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(m_add, &QPushButton::clicked, this, [this] { openEditor(-1); });
    connect(m_purchasing, &QPushButton::clicked, this, [this] {
        CStrorPutInMan dlg(m_context, this);
        dlg.exec();
    });
    connect(m_query, &QPushButton::clicked, this, &CPrdManDlg::search);
    connect(m_search, &QLineEdit::returnPressed, this, &CPrdManDlg::search);
    connect(m_import, &QPushButton::clicked, this, &CPrdManDlg::importProducts);
    connect(m_template, &QPushButton::clicked, this, &CPrdManDlg::saveTemplate);
    m_tree->setPrompts(CategoryDialogPrompts(context));
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { nodeSelected(current); });
    connect(m_list, &CListCtrlPlus::itemDoubleClicked, this,
            [this](int clicked, int) { openEditor(m_list->itemData(clicked).toInt()); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int under = m_list->rowAt(pos.y());
        if (under < 0)
            return;
        QMenu* menu = createRowMenu(under, this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_list->viewport()->mapToGlobal(pos));
    });

    QTimer::singleShot(kFirstFillDelayMs, this, &CPrdManDlg::firstFill);
}

CPrdManDlg::~CPrdManDlg() = default;

void CPrdManDlg::firstFill() {
    list(kListAllOnSale);
    m_tree->LoadTree(0);
}

void CPrdManDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int h = std::max(0, height() - kStripHeight - 1);
    if (auto* strip = findChild<QWidget*>(QStringLiteral("strip")))
        strip->setGeometry(0, 0, width(), kStripHeight);
    m_tree->setGeometry(1, kStripHeight, 300, h);
    m_list->setGeometry(310, kStripHeight, std::max(0, width() - 311), h);
}

ProductFilter CPrdManDlg::currentFilter() const {
    return {m_search->text(), m_property->currentData().toInt()};
}

void CPrdManDlg::nodeSelected(QTreeWidgetItem* node) {
    if (!node)
        return;
    const CPrdTypeTree::NodeRecord r = CPrdTypeTree::recordOf(node);
    switch (r.kind) {
    case CPrdTypeTree::RootNode:
        list(kListAllOnSale);
        break;
    case CPrdTypeTree::CategoryNode:
        list(r.id);
        break;
    case CPrdTypeTree::OffShelfNode:
        list(kListOffShelf);
        break;
    default:
        break;
    }
}

void CPrdManDlg::list(int filter) {
    m_list->clear();
    m_listFilter = filter;
    m_listedCategories.clear();
    const ProductFilter f = currentFilter();
    m_shownFilter = f;
    // Rows are read a page at a time as the list scrolls.
    const auto rowsOf = [this](const QVector<int>& chunk) {
        QList<CListCtrlPlus::Row> rows;
        for (const ProductRow& row : ProductRowsByIds(m_context, chunk)) {
            // Changed since it was listed (another till, or this page's own editor).
            if (belongsInView(row))
                rows.append({ProductColumns(row), row.id});
        }
        return rows;
    };
    if (filter >= 0) {
        // A category lists its subcategories' products too, and so does "查询" afterwards. Its
        // IDs, fewer than the shop's, are read at once.
        const CategoryTree categories = CategoryTree::load(m_context);
        const QList<int> covered = categories.subtree(filter);
        m_listedCategories = QSet<int>(covered.cbegin(), covered.cend());
        m_listedCategories.insert(filter);
        m_list->setPagedIds(ListCategoryProductIds(m_context, categories, filter, f).value_or(QVector<int>()),
                            rowsOf);
        return;
    }
    // Every on-sale or off-shelf product: the IDs too are read a page at a time.
    auto pages = std::make_shared<ProductListPages>(m_context, filter, f);
    m_list->setPagedIds([pages](int count) { return pages->next(count).value_or(QVector<int>()); }, rowsOf);
}

void CPrdManDlg::setRowTexts(int row, const ProductRow& product) {
    const QStringList texts = ProductColumns(product);
    for (int c = 1; c < texts.size(); ++c)
        m_list->setItemText(row, c, texts[c]);
}

void CPrdManDlg::search() {
    list(m_listFilter);
}

bool CPrdManDlg::belongsInView(const ProductRow& row) const {
    if (!ProductMatchesFilter(row, m_shownFilter))
        return false;
    if (m_listFilter == kListOffShelf)
        return row.state == ProductOffShelf;
    if (row.state != ProductOnSale)
        return false;
    return m_listFilter == kListAllOnSale || m_listedCategories.contains(row.category);
}

void CPrdManDlg::productAdded(int productId) {
    const std::optional<ProductRow> row = ReadProductRow(m_context, productId);
    productsAdded(row ? QList<ProductRow>{*row} : QList<ProductRow>());
}

void CPrdManDlg::productsAdded(const QList<ProductRow>& rows) {
    for (const ProductRow& row : rows) {
        if (belongsInView(row))
            m_list->insertRow(0, ProductColumns(row), row.id);
    }
    m_tree->UpdateCounts(m_tree->rootNode());
}

void CPrdManDlg::saveTemplate() {
    SaveTemplateCopy(this, m_templateFolder);
}

void CPrdManDlg::importProducts() {
    ImportProductsFromFile(m_context, this, [this](const QList<ProductRow>& rows) { productsAdded(rows); });
}

void CPrdManDlg::productChanged(int productId) {
    const std::optional<ProductRow> row = ReadProductRow(m_context, productId);
    const int at = m_list->findRowByData(productId);
    if (row && belongsInView(*row)) {
        if (at >= 0)
            setRowTexts(at, *row);
    } else if (at >= 0) {
        m_list->removeRow(at);
    }
    m_tree->UpdateCounts(m_tree->rootNode());
}

void CPrdManDlg::openEditor(int productId) {
    CPrdAddDlg dlg(m_context, productId, m_tree, this);
    connect(&dlg, &CPrdAddDlg::productAdded, this, &CPrdManDlg::productAdded);
    connect(&dlg, &CPrdAddDlg::productChanged, this, &CPrdManDlg::productChanged);
    dlg.exec();
}

QMenu* CPrdManDlg::createRowMenu(int row, QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("产品"), parent);
    menu->setAccessibleName(QStringLiteral("产品"));
    const int id = m_list->itemData(row).toInt();
    connect(menu->addAction(QStringLiteral("新增")), &QAction::triggered, this, [this] { openEditor(-1); });
    connect(menu->addAction(QStringLiteral("修改")), &QAction::triggered, this,
            [this, id] { openEditor(id); });
    connect(menu->addAction(QStringLiteral("删除")), &QAction::triggered, this, [this, id] {
        if (!Messages::ask(this, deleteQuestion(), QString()))
            return;
        const int at = m_list->findRowByData(id);
        if (at >= 0)
            deleteRow(at);
    });
    const QString toggle =
        m_listFilter == kListOffShelf ? QStringLiteral("上架此商品") : QStringLiteral("下架此商品");
    connect(menu->addAction(toggle), &QAction::triggered, this, [this, id] {
        const int at = m_list->findRowByData(id);
        if (at >= 0)
            toggleRowState(at);
    });
    menu->addSeparator();
    const QString code = m_list->itemText(row, 0);
    const QString name = m_list->itemText(row, 1);
    connect(menu->addAction(QStringLiteral("盘点")), &QAction::triggered, this, [this, id, code] {
        CPrdCheck dlg(m_context, code, this);
        if (dlg.exec() != QDialog::Accepted)
            return;
        const int at = m_list->findRowByData(id);
        if (at >= 0)
            m_list->setItemText(at, kStockColumn, FormatQuantity(ParseLeadingNumber(dlg.newStockText())));
    });
    connect(menu->addAction(QStringLiteral("盘点记录")), &QAction::triggered, this, [this, code, name] {
        CPrdCheckRecord dlg(m_context, code, name, this);
        dlg.exec();
    });
    return menu;
}

void CPrdManDlg::deleteRow(int row) {
    const int id = m_list->itemData(row).toInt();
    if (!DeleteProductLogged(m_context, id)) {
        ToastError(this, QStringLiteral("删除商品失败，请重试！"));
        return;
    }
    m_list->removeRow(row);
    m_tree->UpdateCounts(m_tree->rootNode());
}

void CPrdManDlg::toggleRowState(int row) {
    const int id = m_list->itemData(row).toInt();
    const int state = m_listFilter == kListOffShelf ? int(ProductOnSale) : int(ProductOffShelf);
    if (!SetProductState(m_context, id, state)) {
        ToastError(this, QStringLiteral("操作失败，请重试！"));
        return;
    }
    m_tree->UpdateCounts(m_tree->rootNode());
    m_list->removeRow(row);
}

} // namespace selvo::gui
