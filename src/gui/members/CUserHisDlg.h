#pragma once

#include <QDialog>

class QTabBar;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "用户消费/充值记录": one member's last 500 orders and last 500 recharge records, on two tabs.
class CUserHisDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CUserHisDlg)

public:
    CUserHisDlg(AppContext& ctx, int memberId, QWidget* parent = nullptr);
    ~CUserHisDlg() override;

    // What the "消费记录" buttons do: the records of the member, modally; nothing for a member
    // ID not above 0 (no member chosen, or a walk-in guest).
    static void OpenForMember(AppContext& ctx, int memberId, QWidget* parent);

    int memberId() const { return m_memberId; }
    QTabBar* tabs() const { return m_tabs; }
    CListCtrlPlus* orderList() const { return m_orders; }
    CListCtrlPlus* topupList() const { return m_topups; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showTab(int index);

    int m_memberId;
    QTabBar* m_tabs;
    CListCtrlPlus* m_orders;
    CListCtrlPlus* m_topups;
};

} // namespace selvo::gui
