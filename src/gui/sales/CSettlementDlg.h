#pragma once

#include "core/sales/Settlement.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// "结算帐单": takes the payment of an amount due, in cash (with change), from a member's balance
// (with an automatic recharge when it is short) or with points. Writes nothing: after Accepted,
// payment() says what the posting is to write, the planned recharge included.
class CSettlementDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSettlementDlg)

public:
    CSettlementDlg(AppContext& ctx, int memberId, double amountDue, QWidget* parent = nullptr);
    ~CSettlementDlg() override;

    const Payment& payment() const { return m_payment; }
    int pointsNeeded() const { return m_pointsNeeded; }
    // False when the member could not be read: the dialog then accepts nothing.
    bool usable() const { return m_usable; }

    // "确定" in the chosen payment mode: refusal toasts, then the "确认订单" question.
    void accept() override;

    QRadioButton* cashRadio() const { return m_cashRadio; }
    QRadioButton* balanceRadio() const { return m_balanceRadio; }
    QRadioButton* pointsRadio() const { return m_pointsRadio; }
    QLineEdit* cashEdit() const { return m_cash; }
    QLineEdit* extraCashEdit() const { return m_extraCash; }
    QLabel* cashLabel() const { return m_cashLabel; }
    QLabel* changeLine() const { return m_changeLine; }
    QLabel* infoLine() const { return m_info; }
    QLabel* idHint() const { return m_idHint; }
    QCheckBox* clearPointsBox() const { return m_clearPoints; }
    QRadioButton* changeRadio() const { return m_giveChange; }
    QRadioButton* depositRadio() const { return m_deposit; }
    QLabel* amountLabel() const { return m_amount; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadMember();
    void enterCash();
    void enterBalance();
    void enterPoints();
    void cashChanged();
    void extraCashChanged();
    void focusMoney(QLineEdit* field);
    // The caption of the cash row and the field it names.
    void setCashCaption(const QString& caption, QWidget* field);

    AppContext& m_ctx;
    int m_memberId;
    double m_amountDue;
    int m_pointsNeeded;
    bool m_usable = true;
    double m_shortfall = 0;
    Payment m_payment;
    QString m_photo;

    QLabel* m_nameCaption;
    QLabel* m_name;
    QLabel* m_mobileCaption;
    QLabel* m_mobile;
    QLabel* m_idCardCaption;
    QLabel* m_idCard;
    QLabel* m_balanceCaption;
    QLabel* m_balance;
    QLabel* m_pointsCaption;
    QLabel* m_points;
    QWidget* m_photoFrame;
    QLabel* m_amount;
    QRadioButton* m_cashRadio;
    QRadioButton* m_balanceRadio;
    QRadioButton* m_pointsRadio;
    QLabel* m_cashLabel;
    QLineEdit* m_cash;
    QLabel* m_changeLine;
    QLabel* m_idHint;
    QCheckBox* m_clearPoints;
    QLabel* m_extraLabel;
    QLineEdit* m_extraCash;
    QRadioButton* m_giveChange;
    QRadioButton* m_deposit;
    QLabel* m_info;
};

} // namespace selvo::gui
