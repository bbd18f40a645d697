#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "采购入库管理": the purchase and return orders, the lines of the selected one, its paid flag
// and its cancellation.
class CStrorPutInMan final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CStrorPutInMan)

public:
    explicit CStrorPutInMan(AppContext& context, QWidget* parent = nullptr);
    ~CStrorPutInMan() override;

    // "采购入库" (mode 0) and "采购退货" (mode 1).
    void runEntry(int mode);
    // "撤销此订单" for the selected order.
    void cancelSelected();

    CListCtrlPlus* orderList() const { return m_orders; }
    CListCtrlPlus* detailList() const { return m_details; }
    QCheckBox* paidBox() const { return m_paid; }
    QPushButton* cancelButton() const { return m_cancelOrder; }
    QLineEdit* timeField() const { return m_time; }
    QLineEdit* totalField() const { return m_total; }
    QLineEdit* buyerField() const { return m_buyer; }

private:
    void orderSelected(int row);
    void paidToggled(bool checked);
    void showPaidMark(bool paid);

    AppContext& m_context;
    CListCtrlPlus* m_orders;
    CListCtrlPlus* m_details;
    QLineEdit* m_time;
    QLineEdit* m_total;
    QLineEdit* m_buyer;
    QCheckBox* m_paid;
    QPushButton* m_cancelOrder;
    int m_selected = -1;
};

} // namespace selvo::gui
