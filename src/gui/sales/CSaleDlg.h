#pragma once

#include "core/sales/Cart.h"

#include <QDateTime>
#include <QWidget>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QMenu;
class QPushButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CEditPlus;
class CListCtrlPlus;
class CPrdTypeTree;

// The cashier's page ("销售"): a cart of products for a guest or a member, quantities and
// discounts, the totals and points, and "结算(F10)", which takes the payment and posts the sale.
class CSaleDlg final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSaleDlg)

public:
    CSaleDlg(AppContext& ctx, const QString& dataFolder, QWidget* parent = nullptr);
    ~CSaleDlg() override;

    // Adds a product by ID. `increment` (tree, Enter) raises the quantity of a product already
    // in the cart and resets its discount; without it (the picker) such a row stays as it is.
    void addProduct(int productId, bool increment);
    // Enter in the search box or the tree: the product whose code is the typed text (what a
    // scanner types), else the product node the tree shows selected.
    void addFromSearch();
    // "选择商品".
    void pickProducts();
    // "选择会员": true when a member was chosen.
    bool chooseMember();
    // "结算(F10)": checks, settlement dialog, posting.
    void settle();
    // "清空", also after a posted sale.
    void clearSale();
    // Reloads the category tree (each time the tab is chosen).
    void loadTree();

    // The cart's context menu commands for a row.
    enum CartCommand { RemoveRow, PlusOne, MinusOne, EditQuantity };
    void runCartCommand(int row, CartCommand command);
    // The context menu "销售产品" for a row (nullptr for none); the caller owns it.
    QMenu* createCartMenu(int row);
    // Opens the quantity/discount popup for a row.
    void editRow(int row);

    const Cart& cart() const { return m_cart; }
    int memberId() const { return m_memberId; }
    int selectedRow() const { return m_selectedRow; }
    CartTotals totals() const;

    CPrdTypeTree* tree() const { return m_tree; }
    CEditPlus* searchBox() const { return m_search; }
    CListCtrlPlus* list() const { return m_list; }
    QCheckBox* guestBox() const { return m_guest; }
    QPushButton* chooseMemberButton() const { return m_chooseMember; }
    QCheckBox* backDateBox() const { return m_backDate; }
    QDateTimeEdit* dateEdit() const { return m_date; }
    QLineEdit* remarkEdit() const { return m_remark; }
    // The read-only fields by their captions ("姓名：", "优惠后总价：" …).
    QLineEdit* field(const QString& caption) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void showTotals();
    void guestToggled(bool guest);
    void showGuest();
    void searchChanged();
    void cartClicked(int row, int column);
    void cartMenuRequested(const QPoint& pos);
    void returnGoods();
    void salesRecords();
    void fastSale();
    void recharge();
    void newMember();
    void productStats();

    AppContext& m_ctx;
    QString m_dataFolder;
    Cart m_cart;
    int m_memberId = -1;
    int m_selectedRow = -1;
    bool m_treeLoaded = false;

    CPrdTypeTree* m_tree;
    CEditPlus* m_search;
    QPushButton* m_pick;
    CListCtrlPlus* m_list;
    QCheckBox* m_guest;
    QPushButton* m_chooseMember;
    QCheckBox* m_backDate;
    QDateTimeEdit* m_date;
    QLineEdit* m_name;
    QLineEdit* m_mobile;
    QLineEdit* m_balance;
    QLineEdit* m_points;
    QLineEdit* m_count;
    QLineEdit* m_listTotal;
    QLineEdit* m_pointsDue;
    QLineEdit* m_pointsEarned;
    QLineEdit* m_amountDue;
    QLineEdit* m_remark;
    QPushButton* m_clear;
    QPushButton* m_settle;
};

} // namespace selvo::gui
