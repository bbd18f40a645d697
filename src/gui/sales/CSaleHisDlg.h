#pragma once

#include "core/sales/SalesRecords.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QPushButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "销售/退货 记录": the posted orders of a filter (at most 500, newest sale first) with the lines
// of the order clicked, two summary lines of the takings, and the commands to cancel an order,
// reprint its receipt and export the list.
class CSaleHisDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSaleHisDlg)

public:
    explicit CSaleHisDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CSaleHisDlg() override;

    // "查询" (also run once, 50 ms after the window opens).
    void query();
    // Shows the lines of an order row, unless they are shown already.
    void showLines(int row);
    // "撤销订单" on the selected row; nothing without one.
    void cancelSelected();
    // "打印订单": the receipt of the order whose lines are shown, on `printer` or the default one.
    void printShown(QPrinter* printer = nullptr);
    // The order list's context menu for a row (nullptr for none); the caller owns it.
    QMenu* createOrderMenu(int row);
    // "选择会员": true when a member was chosen.
    bool chooseMember();
    // "导出到Excel".
    void exportList();

    int memberId() const { return m_memberId; }
    int shownRow() const { return m_shownRow; }

    CListCtrlPlus* orderList() const { return m_orders; }
    CListCtrlPlus* lineList() const { return m_lines; }
    QComboBox* customerBox() const { return m_customer; }
    QComboBox* orderTypeBox() const { return m_orderType; }
    QComboBox* payTypeBox() const { return m_payType; }
    QComboBox* operatorBox() const { return m_operator; }
    QCheckBox* fromBox() const { return m_useFrom; }
    QDateEdit* fromDate() const { return m_from; }
    QCheckBox* toBox() const { return m_useTo; }
    QDateEdit* toDate() const { return m_to; }
    QPushButton* chooseMemberButton() const { return m_chooseMember; }
    QWidget* memberPanel() const { return m_memberPanel; }
    // The member panel's fields by their captions ("姓名：", "手机：", "余额：", "积分：").
    QLineEdit* field(const QString& caption) const;
    QLabel* ordersSummary() const { return m_ordersSummary; }
    QLabel* rechargesSummary() const { return m_rechargesSummary; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    SalesRecordFilter currentFilter() const;
    void showSummary(const std::optional<SalesSummary>& summary);
    void customerChanged();
    void clearMemberPanel();
    void loadMember();
    void orderMenuRequested(const QPoint& pos);

    AppContext& m_ctx;
    int m_memberId = -1;
    int m_shownRow = -1;
    QString m_shownOrderNo;
    bool m_opened = false;
    SalesRecordFilter m_filter;

    QWidget* m_bar;
    QComboBox* m_customer;
    QComboBox* m_orderType;
    QComboBox* m_payType;
    QComboBox* m_operator;
    QCheckBox* m_useFrom;
    QDateEdit* m_from;
    QCheckBox* m_useTo;
    QDateEdit* m_to;
    QPushButton* m_chooseMember;
    QWidget* m_memberPanel;
    QLineEdit* m_name;
    QLineEdit* m_mobile;
    QLineEdit* m_balance;
    QLineEdit* m_points;
    QLabel* m_ordersSummary;
    QLabel* m_rechargesSummary;
    CListCtrlPlus* m_orders;
    CListCtrlPlus* m_lines;
};

} // namespace selvo::gui
