#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace selvo {
struct AppContext;
struct ProductForm;
} // namespace selvo

namespace selvo::gui {

class CPrdTypeTree;

// The product editor: "添加商品" for product ID -1, "修改商品信息" for an existing product.
// After every successful save it emits productAdded / productChanged with the product's ID.
// The category "+" adds a category through `tree` (the product page's tree); without a tree
// it is disabled.
class CPrdAddDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrdAddDlg)

public:
    CPrdAddDlg(AppContext& context, int productId, CPrdTypeTree* tree, QWidget* parent = nullptr);
    ~CPrdAddDlg() override;

    int productId() const { return m_productId; }

signals:
    void productAdded(int productId);
    void productChanged(int productId);

public slots:
    void accept() override;

private:
    void fillUnits();
    void fillCategories(int preselect);
    void loadProduct();
    void autoCodeToggled();
    void addUnit();
    void addCategory();
    ProductForm readForm() const;
    QWidget* fieldWidget(int field) const;

    AppContext& m_context;
    const int m_productId;
    CPrdTypeTree* m_tree;
    bool m_ready = false;

    QLineEdit* m_code;
    QCheckBox* m_autoCode;
    QLineEdit* m_name;
    QLineEdit* m_initials;
    QLineEdit* m_purchase;
    QLineEdit* m_price;
    QCheckBox* m_mustInt;
    QPushButton* m_help;
    QComboBox* m_unit;
    QPushButton* m_addUnit;
    QComboBox* m_category;
    QPushButton* m_addCategory;
    QComboBox* m_state;
    QComboBox* m_property;
    QLabel* m_stockLabel;
    QLineEdit* m_stock;
    QLabel* m_stockNote;
    QCheckBox* m_keepAdding;
};

} // namespace selvo::gui
