#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// "会员充值" / "会员扣款": moves money into or out of a member's stored-value balance. Opened with
// a member ID (-1: none chosen yet), always in recharge mode. After Accepted, memberId() names
// the member whose balance changed (the operator may have chosen another one inside).
class CTopupDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTopupDlg)

public:
    CTopupDlg(AppContext& ctx, int memberId, QWidget* parent = nullptr);
    ~CTopupDlg() override;

    int memberId() const { return m_memberId; }
    bool rechargeMode() const { return m_recharge; }

    // "确定": checks, asks, then changes the balance and writes the record.
    void accept() override;

    // The controls, for the screens that drive this one and for tests.
    QPushButton* chooseButton() const { return m_choose; }
    QPushButton* historyButton() const { return m_history; }
    QRadioButton* rechargeRadio() const { return m_rechargeRadio; }
    QRadioButton* deductRadio() const { return m_deductRadio; }
    QLineEdit* amountEdit() const { return m_amount; }
    QLineEdit* bonusEdit() const { return m_bonus; }
    QLabel* totalLabel() const { return m_total; }
    QPlainTextEdit* remarkEdit() const { return m_remark; }
    QLabel* balanceLabel() const { return m_balanceValue; }
    QLabel* nameLabel() const { return m_name; }

private:
    bool loadMember();
    void clearMember();
    void enterMode(bool recharge);
    void recalculate();
    void chooseMember();
    void focusAmount();

    AppContext& m_ctx;
    int m_memberId;
    bool m_recharge = true;
    double m_balanceBefore = 0;

    QPushButton* m_choose;
    QPushButton* m_history;
    QLabel* m_name;
    QLabel* m_sex;
    QLabel* m_mobile;
    QLabel* m_code;
    QLabel* m_balanceValue;
    QLabel* m_cumulative;
    QLabel* m_points;
    QRadioButton* m_rechargeRadio;
    QRadioButton* m_deductRadio;
    QLabel* m_amountLabel;
    QLineEdit* m_amount;
    QLabel* m_bonusLabel;
    QLineEdit* m_bonus;
    QLabel* m_totalLabel;
    QLabel* m_total;
    QPlainTextEdit* m_remark;
};

} // namespace selvo::gui
