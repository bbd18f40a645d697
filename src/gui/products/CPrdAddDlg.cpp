#include "gui/products/CPrdAddDlg.h"

#include "core/products/Categories.h"
#include "core/products/ProductEditor.h"
#include "core/products/Units.h"
#include "core/support/Pinyin.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/products/CUnitDlg.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace selvo::gui {

namespace {
QString categoryPlaceholder() {
    return QStringLiteral("---↓↓↓--请选择商品类别--↓↓↓---");
}

template <typename W> W* named(W* widget, const QString& caption) {
    widget->setAccessibleName(caption);
    return widget;
}

QWidget* pair(QWidget* parent, QWidget* first, QWidget* second) {
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(first, 1);
    row->addWidget(second);
    return box;
}
} // namespace

CPrdAddDlg::CPrdAddDlg(AppContext& context, int productId, CPrdTypeTree* tree, QWidget* parent)
    : QDialog(parent), m_context(context), m_productId(productId), m_tree(tree),
      m_code(named(new QLineEdit(this), QStringLiteral("产品编号："))),
      m_autoCode(
          named(new QCheckBox(QStringLiteral("自动创建产品编号"), this), QStringLiteral("自动创建产品编号"))),
      m_name(named(new QLineEdit(this), QStringLiteral("产品名称："))),
      m_initials(named(new QLineEdit(this), QStringLiteral("简码"))),
      m_purchase(named(new QLineEdit(this), QStringLiteral("采购价："))),
      m_price(named(new QLineEdit(this), QStringLiteral("零售价："))),
      m_mustInt(named(new QCheckBox(QStringLiteral("整数销售"), this), QStringLiteral("整数销售"))),
      m_help(named(new QPushButton(QStringLiteral("?"), this), QStringLiteral("?"))),
      m_unit(named(new QComboBox(this), QStringLiteral("计量单位："))),
      m_addUnit(named(new QPushButton(QStringLiteral("+"), this), QStringLiteral("+"))),
      m_category(named(new QComboBox(this), QStringLiteral("产品分类："))),
      m_addCategory(named(new QPushButton(QStringLiteral("+"), this), QStringLiteral("+"))),
      m_state(named(new QComboBox(this), QStringLiteral("产品状态："))),
      m_property(named(new QComboBox(this), QStringLiteral("产品性质："))),
      m_stockLabel(new QLabel(QStringLiteral("初始库存："), this)),
      m_stock(named(new QLineEdit(this), QStringLiteral("初始库存："))),
      m_stockNote(new QLabel(QStringLiteral("添加后不能再修改"), this)),
      m_keepAdding(named(new QCheckBox(QStringLiteral("连续添加"), this), QStringLiteral("连续添加"))) {
    m_initials->setReadOnly(true);
    m_unit->setEditable(true);
    m_unit->setInsertPolicy(QComboBox::NoInsert);
    m_addUnit->setObjectName(QStringLiteral("addUnit"));
    m_addCategory->setObjectName(QStringLiteral("addCategory"));
    m_addCategory->setEnabled(m_tree != nullptr);
    for (QPushButton* small : {m_help, m_addUnit, m_addCategory}) {
        small->setFixedWidth(28);
        small->setAutoDefault(false);
    }

    auto* grid = new QGridLayout;
    const auto label = [this](const QString& text) {
        auto* l = new QLabel(text, this);
        l->setAccessibleName(text);
        return l;
    };
    grid->addWidget(label(QStringLiteral("产品编号：")), 0, 0);
    grid->addWidget(m_code, 0, 1);
    grid->addWidget(m_autoCode, 0, 2, 1, 2);
    grid->addWidget(label(QStringLiteral("产品名称：")), 1, 0);
    grid->addWidget(m_name, 1, 1);
    grid->addWidget(m_initials, 1, 2, 1, 2);
    grid->addWidget(label(QStringLiteral("采购价：")), 2, 0);
    grid->addWidget(m_purchase, 2, 1);
    grid->addWidget(label(QStringLiteral("零售价：")), 2, 2);
    grid->addWidget(m_price, 2, 3);
    grid->addWidget(label(QStringLiteral("计量单位：")), 3, 0);
    grid->addWidget(pair(this, m_unit, m_addUnit), 3, 1);
    grid->addWidget(pair(this, m_mustInt, m_help), 3, 2, 1, 2);
    grid->addWidget(label(QStringLiteral("产品分类：")), 4, 0);
    grid->addWidget(pair(this, m_category, m_addCategory), 4, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("产品状态：")), 5, 0);
    grid->addWidget(m_state, 5, 1);
    grid->addWidget(label(QStringLiteral("产品性质：")), 5, 2);
    grid->addWidget(m_property, 5, 3);
    grid->addWidget(m_stockLabel, 6, 0);
    grid->addWidget(m_stock, 6, 1);
    grid->addWidget(m_stockNote, 6, 2, 1, 2);

    auto* ok = named(new QPushButton(QStringLiteral("确定"), this), QStringLiteral("确定"));
    auto* cancel = named(new QPushButton(QStringLiteral("取消"), this), QStringLiteral("取消"));
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_keepAdding);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &CPrdAddDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CPrdAddDlg::reject);
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_ready)
            m_initials->setText(GetFirstSpell(text));
    });
    connect(m_autoCode, &QCheckBox::toggled, this, &CPrdAddDlg::autoCodeToggled);
    connect(m_addUnit, &QPushButton::clicked, this, &CPrdAddDlg::addUnit);
    connect(m_addCategory, &QPushButton::clicked, this, &CPrdAddDlg::addCategory);
    connect(m_help, &QPushButton::clicked, this,
            [this] { Messages::informWithCaption(this, WholeNumberHelpText(), WholeNumberHelpCaption()); });

    // Opening.
    m_ready = false;
    fillUnits();
    fillCategories(0);
    m_state->addItem(QStringLiteral("正常销售"), int(ProductOnSale));
    m_state->addItem(QStringLiteral("下架商品"), int(ProductOffShelf));
    m_property->addItem(QStringLiteral("常规"), int(PropertyRegular));
    m_property->addItem(QStringLiteral("特价"), int(PropertySpecialOffer));
    m_property->addItem(QStringLiteral("赠品"), int(PropertyGift));
    m_state->setCurrentIndex(0);
    m_property->setCurrentIndex(0);
    if (m_productId == -1) {
        setWindowTitle(QStringLiteral("添加商品"));
        m_stock->setText(QStringLiteral("0"));
        m_mustInt->setChecked(true);
        m_price->setText(QStringLiteral("0"));
        m_purchase->setText(QStringLiteral("0"));
        m_name->setFocus();
        m_autoCode->setChecked(true); // runs its handler: a fresh code
    } else {
        setWindowTitle(QStringLiteral("修改商品信息"));
        m_stockLabel->setText(QStringLiteral("当前库存："));
        m_stockLabel->setAccessibleName(m_stockLabel->text());
        m_stock->setAccessibleName(m_stockLabel->text());
        m_stock->setEnabled(false);
        m_stockNote->hide();
        m_keepAdding->hide();
        loadProduct();
        m_code->setEnabled(false);
        m_autoCode->hide();
    }
    setAccessibleName(windowTitle());
    m_ready = true;
}

CPrdAddDlg::~CPrdAddDlg() = default;

void CPrdAddDlg::fillUnits() {
    m_unit->clear();
    m_unit->addItems(SplitUnits(ReadUnitsText(m_context)));
    m_unit->setCurrentIndex(-1);
    m_unit->clearEditText();
}

void CPrdAddDlg::fillCategories(int preselect) {
    m_category->clear();
    m_category->addItem(categoryPlaceholder(), 0);
    for (const CategoryChoice& choice : CategoryChoices(CategoryTree::load(m_context)))
        m_category->addItem(choice.text, choice.id);
    const int index = preselect > 0 ? m_category->findData(preselect) : 0;
    m_category->setCurrentIndex(index > 0 ? index : 0);
}

void CPrdAddDlg::loadProduct() {
    const std::optional<ProductForm> f = LoadProductForm(m_context, m_productId);
    if (!f) {
        ToastError(this, ProductReadFailedText());
        return;
    }
    m_name->setText(f->name); // the ready flag is clear: the stored initials stay
    m_initials->setText(f->initials);
    m_code->setText(f->code);
    m_price->setText(f->price);
    m_purchase->setText(f->purchasePrice);
    const int category = m_category->findData(f->category);
    if (category > 0)
        m_category->setCurrentIndex(category);
    QStringList units;
    for (int i = 0; i < m_unit->count(); ++i)
        units << m_unit->itemText(i);
    const int unit = UnitEntryIndex(units, f->unit);
    if (unit >= 0) {
        m_unit->setCurrentIndex(unit);
    } else {
        m_unit->setCurrentIndex(-1);
        m_unit->setEditText(f->unit);
    }
    m_mustInt->setChecked(f->mustInt);
    m_stock->setText(f->openingStock);
    m_state->setCurrentIndex(f->state == ProductOffShelf ? 1 : 0);
    m_property->setCurrentIndex(f->property - 1);
}

void CPrdAddDlg::autoCodeToggled() {
    if (!m_autoCode->isChecked()) {
        m_code->setEnabled(true);
        m_code->setFocus();
        m_code->selectAll();
        return;
    }
    const QString code = MakeProductCode(m_context, m_productId);
    if (code.isEmpty()) {
        ToastError(this, ProductCodeExhaustedText());
        m_autoCode->setChecked(false); // hands the code edit to the operator
        return;
    }
    m_code->setEnabled(false);
    m_code->setText(code);
    m_name->setFocus();
}

void CPrdAddDlg::addUnit() {
    CUnitDlg dlg(m_context, this);
    if (dlg.exec() == QDialog::Accepted)
        fillUnits();
}

void CPrdAddDlg::addCategory() {
    if (!m_tree)
        return;
    QString name;
    int id = -1;
    if (m_category->currentIndex() > 0) {
        name = CategoryNameFromChoice(m_category->currentText());
        id = m_category->currentData().toInt();
    }
    if (QTreeWidgetItem* node = m_tree->AddCategory(name, id))
        fillCategories(CPrdTypeTree::recordOf(node).id);
}

ProductForm CPrdAddDlg::readForm() const {
    ProductForm f;
    f.code = m_code->text();
    f.name = m_name->text();
    f.initials = m_initials->text();
    f.purchasePrice = m_purchase->text();
    f.price = m_price->text();
    f.mustInt = m_mustInt->isChecked();
    f.unit = m_unit->currentText();
    f.category = m_category->currentData().toInt();
    f.state = m_state->currentData().toInt();
    f.property = m_property->currentData().toInt();
    f.openingStock = m_stock->text();
    return f;
}

QWidget* CPrdAddDlg::fieldWidget(int field) const {
    switch (ProductField(field)) {
    case ProductField::Code:
        return m_code;
    case ProductField::Name:
        return m_name;
    case ProductField::Category:
        return m_category;
    case ProductField::Unit:
        return m_unit;
    case ProductField::PurchasePrice:
        return m_purchase;
    case ProductField::Price:
        return m_price;
    case ProductField::Stock:
        return m_stock;
    case ProductField::None:
        break;
    }
    return nullptr;
}

void CPrdAddDlg::accept() {
    const auto refuse = [this](const QString& message, ProductField field, bool selectText) {
        ToastError(this, message);
        if (field == ProductField::Category)
            m_category->setCurrentIndex(0);
        if (QWidget* w = fieldWidget(int(field))) {
            w->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(w); edit && selectText)
                edit->selectAll();
        }
    };
    const ProductForm form = readForm();
    const ProductCheck check = CheckProduct(m_context, m_productId, form);
    if (!check.ok()) {
        refuse(check.message, check.field, check.selectText);
        return;
    }
    if (check.askBelowCost && !Messages::ask(this, BelowCostQuestion(), QString()))
        return;
    const ProductSave saved = SaveProduct(m_context, m_productId, form);
    if (!saved.ok) {
        refuse(saved.message, saved.field, saved.selectText);
        return;
    }
    if (m_productId == -1)
        emit productAdded(saved.id);
    else
        emit productChanged(saved.id);

    if (m_productId == -1 && m_keepAdding->isChecked()) {
        ToastSuccess(this, ProductAddedText());
        m_stock->setText(QStringLiteral("0"));
        m_code->clear();
        m_name->clear();
        m_purchase->clear();
        m_price->clear();
        m_state->setCurrentIndex(0);
        m_property->setCurrentIndex(0);
        autoCodeToggled();
        return;
    }
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    ToastSuccess(owner, m_productId == -1 ? ProductAddedText() : ProductChangedText());
    QDialog::accept();
}

} // namespace selvo::gui
