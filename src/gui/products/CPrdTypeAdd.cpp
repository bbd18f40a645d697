#include "gui/products/CPrdTypeAdd.h"

#include "core/products/Categories.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CPrdTypeAdd::CPrdTypeAdd(AppContext& context, const QString& proposedParentName, const QString& categoryName,
                         int proposedParentId, int editingId, QWidget* parent)
    : QDialog(parent), m_parents(new QComboBox(this)), m_name(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("添加商品分类"));
    setAccessibleName(windowTitle());
    m_parents->setAccessibleName(QStringLiteral("上级分类："));
    m_name->setAccessibleName(QStringLiteral("分类名称："));

    m_parents->addItem(QStringLiteral("全部商品"), kRootCategory);
    int selected = 0;
    const CategoryTree tree = CategoryTree::load(context);
    for (const CategoryChoice& choice : CategoryChoices(tree, editingId)) {
        m_parents->addItem(choice.text, choice.id);
        const bool match = proposedParentId >= 0 ? choice.id == proposedParentId
                                                 : tree.find(choice.id)->name == proposedParentName;
        if (match)
            selected = m_parents->count() - 1;
    }
    m_parents->setCurrentIndex(selected);
    m_name->setText(categoryName);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("上级分类："), m_parents);
    form->addRow(QStringLiteral("分类名称："), m_name);
    QDialogButtonBox* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(320, sizeHint().height());

    m_name->setFocus();
    m_name->selectAll();
}

CPrdTypeAdd::~CPrdTypeAdd() = default;

void CPrdTypeAdd::accept() {
    const QString name = m_name->text().trimmed();
    if (name.isEmpty()) {
        ToastError(this, CategoryNameEmptyText());
        m_name->setFocus();
        return;
    }
    m_result = name;
    m_parentId = m_parents->currentData().toInt();
    QDialog::accept();
}

CategoryPrompts CategoryDialogPrompts(AppContext& context) {
    CategoryPrompts prompts;
    prompts.askCategory = [&context](QWidget* parent, const QString& proposedParentName, const QString& name,
                                     int proposedParentId,
                                     int editingId) -> std::optional<CategoryPrompts::Answer> {
        CPrdTypeAdd dlg(context, proposedParentName, name, proposedParentId, editingId, parent);
        if (dlg.exec() != QDialog::Accepted)
            return std::nullopt;
        return CategoryPrompts::Answer{dlg.categoryName(), dlg.parentId()};
    };
    prompts.confirm = [](QWidget* parent, const QString& question) {
        return Messages::ask(parent, question, QString());
    };
    prompts.refuse = [](QWidget* parent, const QString& text) {
        ToastError(parent, text);
    };
    return prompts;
}

} // namespace selvo::gui
