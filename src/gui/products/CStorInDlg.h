#pragma once

#include "core/products/Purchasing.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// The purchase entry: "采购入库" (mode 0) or "退货出库" (mode 1). Ends with OK after a save;
// the opener then reads savedOrder().
class CStorInDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CStorInDlg)

public:
    CStorInDlg(AppContext& context, int mode, QWidget* parent = nullptr);
    ~CStorInDlg() override;

    const PurchaseOrder& savedOrder() const { return m_saved; }

    // "添加商品" with the picker's answer ("12,15,20,").
    void addProducts(const QString& pickedIds);
    // A click on a row's quantity, discount or discounted price: the quantity popup.
    void editRow(int row);
    // "确认并保存".
    void save();

    CListCtrlPlus* list() const { return m_list; }
    QCheckBox* paidBox() const { return m_paid; }
    QLineEdit* totalField() const { return m_total; }
    QLineEdit* countField() const { return m_count; }

private:
    void pickProducts();
    void refresh();

    AppContext& m_context;
    int m_mode;
    PurchaseList m_entries;
    PurchaseOrder m_saved;
    CListCtrlPlus* m_list;
    QPushButton* m_add;
    QCheckBox* m_paid;
    QLineEdit* m_total;
    QLineEdit* m_count;
    QPushButton* m_save;
    QPushButton* m_cancel;
};

} // namespace selvo::gui
