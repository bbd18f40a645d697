#pragma once

#include "gui/widgets/CPrdTypeTree.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// "添加商品分类": asks for a category name and its parent ("上级分类"). Adding and editing
// both use it; it only collects input, the tree does the database work.
class CPrdTypeAdd final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrdTypeAdd)

public:
    // The parent is preselected by ID when `proposedParentId` >= 0, else by name (the last
    // category of that name wins; "全部商品" when none). When editing, `editingId` names the
    // category itself: it and its descendants are not offered as parent.
    CPrdTypeAdd(AppContext& context, const QString& proposedParentName, const QString& categoryName,
                int proposedParentId = -1, int editingId = -1, QWidget* parent = nullptr);
    ~CPrdTypeAdd() override;

    QString categoryName() const { return m_result; }
    int parentId() const { return m_parentId; }

    QComboBox* parentList() const { return m_parents; }
    QLineEdit* nameEdit() const { return m_name; }

public slots:
    void accept() override;

private:
    QComboBox* m_parents;
    QLineEdit* m_name;
    QString m_result;
    int m_parentId = 0;
};

// What the category tree asks through: this dialog for a category, a question box to delete one,
// a red toast for a refusal.
CategoryPrompts CategoryDialogPrompts(AppContext& context);

} // namespace selvo::gui
