#pragma once

#include "core/sales/Cart.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "退货": goods taken back from a member or a guest, from an earlier sale ("按订单退货") or picked
// products ("选择商品退货"); refunded in cash, to the balance or as points. Closes itself after a
// posted return.
class CReturnGoodsDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CReturnGoodsDlg)

public:
    explicit CReturnGoodsDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CReturnGoodsDlg() override;

    int memberId() const { return m_memberId; }
    int mode() const;
    const Cart& list() const { return m_cart; }

    // "选择会员": true when a member was chosen.
    bool chooseMember();
    // Loads a member into the fields (-1 or a missing member clears them).
    void loadMember(int memberId);
    // "按订单退货" and "选择商品退货".
    void returnByOrder();
    void pickProducts();
    // Loads the lines of an order into the list, as the order picker's choice does.
    void loadOrder(const QString& orderNo);
    // "结算(F10)".
    void settle();

    enum ListCommand { RemoveRow, PlusOne, MinusOne, EditQuantity };
    void runListCommand(int row, ListCommand command);
    QMenu* createListMenu(int row);
    void editRow(int row);

    // Receipts go to this printer instead of the default one (tests print to a PDF file).
    void setReceiptPrinter(QPrinter* printer) { m_printer = printer; }

    CListCtrlPlus* listCtrl() const { return m_list; }
    QCheckBox* guestBox() const { return m_guest; }
    QPushButton* historyButton() const { return m_history; }
    QRadioButton* modeButton(int mode) const;
    QLineEdit* refundEdit() const { return m_refund; }
    QLineEdit* pointsEdit() const { return m_points; }
    QLabel* pointsLabel() const { return m_pointsLabel; }
    QLineEdit* remarkEdit() const { return m_remark; }
    // The read-only fields by their captions ("会员姓名：", "商品总价：" …).
    QLineEdit* field(const QString& caption) const;

public slots:
    // "消费记录": the member's purchase and recharge records (nothing without a member).
    void showHistory();

private:
    void clearMember();
    void guestToggled(bool guest);
    void applyMode(int mode);
    void refresh();
    void showTotals();
    void refundEdited();
    void listClicked(int row, int column);
    void listMenuRequested(const QPoint& pos);

    AppContext& m_ctx;
    Cart m_cart;
    int m_memberId = -1;
    int m_selectedRow = -1;
    QPrinter* m_printer = nullptr;

    QCheckBox* m_guest;
    QPushButton* m_choose;
    QPushButton* m_history;
    QList<QLineEdit*> m_fields;
    QLineEdit* m_name;
    QLineEdit* m_sex;
    QLineEdit* m_mobile;
    QLineEdit* m_code;
    QLineEdit* m_balance;
    QLineEdit* m_cumulative;
    QLineEdit* m_memberPoints;
    QPushButton* m_byOrder;
    QPushButton* m_byProducts;
    CListCtrlPlus* m_list;
    QLineEdit* m_goods;
    QLineEdit* m_totalPoints;
    QLineEdit* m_count;
    QLabel* m_refundLabel;
    QLineEdit* m_refund;
    QLabel* m_pointsLabel;
    QLineEdit* m_points;
    QRadioButton* m_cash;
    QRadioButton* m_toBalance;
    QRadioButton* m_asPoints;
    QLineEdit* m_remark;
    QPushButton* m_settle;
};

} // namespace selvo::gui
