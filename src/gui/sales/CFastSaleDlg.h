#pragma once

#include <QDialog>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// "快速销售": a sale by amount only, for a member or a guest, paid through the settlement dialog.
// Writes one order without lines and moves no stock; closes itself after a posted sale.
class CFastSaleDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CFastSaleDlg)

public:
    explicit CFastSaleDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CFastSaleDlg() override;

    int memberId() const { return m_memberId; }
    // "选择会员": true when a member was chosen.
    bool chooseMember();
    // "确定": checks, settlement, posting.
    void accept() override;

    QCheckBox* guestBox() const { return m_guest; }
    QPushButton* chooseMemberButton() const { return m_choose; }
    QCheckBox* backDateBox() const { return m_backDate; }
    QDateTimeEdit* dateEdit() const { return m_date; }
    QLineEdit* amountEdit() const { return m_amount; }
    QLineEdit* pointsEdit() const { return m_points; }
    QLineEdit* remarkEdit() const { return m_remark; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* balanceLabel() const { return m_balance; }
    QLabel* memberPointsLabel() const { return m_memberPoints; }

private:
    void guestToggled(bool guest);
    void clearMember(bool visible);
    void amountChanged();

    AppContext& m_ctx;
    int m_memberId = -1;

    QCheckBox* m_guest;
    QPushButton* m_choose;
    QCheckBox* m_backDate;
    QDateTimeEdit* m_date;
    QPushButton* m_history;
    QList<QWidget*> m_memberWidgets;
    QLabel* m_name;
    QLabel* m_mobile;
    QLabel* m_balance;
    QLabel* m_memberPoints;
    QLineEdit* m_amount;
    QLabel* m_pointsLabel;
    QLineEdit* m_points;
    QLineEdit* m_remark;
};

} // namespace selvo::gui
