#pragma once

#include "core/sales/Cart.h"

#include <QDialog>
#include <QPoint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace selvo::gui {

// The quantity/discount popup of the cart: no caption, its top-left corner at the cell that
// opened it. After Accepted, edit() holds what to apply to the cart.
class CPrdNumDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrdNumDlg)

public:
    struct Row {
        QString name; // with its "[特] " prefix, without the stock
        bool integerOnly = false;
        double quantity = 1;
        double unitPrice = 0;
        double discountPrice = 0;
        double discount = 10;
    };

    CPrdNumDlg(const Row& row, QPoint topLeft, QWidget* parent = nullptr);
    ~CPrdNumDlg() override;

    const CartEdit& edit() const { return m_edit; }
    // "确定": the integer-only and below-zero refusals keep it open.
    void accept() override;

    QLabel* titleLabel() const { return m_title; }
    QComboBox* discountBox() const { return m_discount; }
    QLineEdit* quantityEdit() const { return m_quantity; }
    QLineEdit* discountPriceEdit() const { return m_discountPrice; }
    QCheckBox* sameForAllBox() const { return m_sameForAll; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void discountChosen();
    void discountPriceTyped();
    double chosenDiscount() const;
    void setFrameStyle();

    Row m_row;
    QPoint m_topLeft;
    CartEdit m_edit;
    QLabel* m_title;
    QComboBox* m_discount;
    QLineEdit* m_quantity;
    QLineEdit* m_discountPrice;
    QCheckBox* m_sameForAll;
};

} // namespace selvo::gui
