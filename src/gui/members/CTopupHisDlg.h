#pragma once

#include "core/members/MemberHistory.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "充值记录": every recharge and deduction of a date range, operator and optionally one member,
// newest first, without a row limit: the list is read page by page as it scrolls.
class CTopupHisDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTopupHisDlg)

public:
    explicit CTopupHisDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CTopupHisDlg() override;

    // "查询" (also run when the window is made).
    void query();
    // "选择会员": true when a member was chosen.
    bool chooseMember();

    int memberId() const { return m_memberId; }
    CListCtrlPlus* list() const { return m_list; }
    QCheckBox* memberBox() const { return m_useMember; }
    QPushButton* chooseMemberButton() const { return m_chooseMember; }
    QWidget* memberPanel() const { return m_memberPanel; }
    QComboBox* operatorBox() const { return m_operator; }
    QCheckBox* fromBox() const { return m_useFrom; }
    QDateEdit* fromDate() const { return m_from; }
    QCheckBox* toBox() const { return m_useTo; }
    QDateEdit* toDate() const { return m_to; }
    // The member panel's fields by their captions ("姓名：", "手机：", "余额：", "积分：").
    QLineEdit* field(const QString& caption) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TopupRecordFilter currentFilter() const;
    void memberToggled(bool on);
    void clearMemberPanel();

    AppContext& m_ctx;
    int m_memberId = -1;
    std::optional<TopupPageKey> m_pageEnd;

    QWidget* m_bar;
    QCheckBox* m_useMember;
    QPushButton* m_chooseMember;
    QWidget* m_memberPanel;
    QLineEdit* m_name;
    QLineEdit* m_mobile;
    QLineEdit* m_balance;
    QLineEdit* m_points;
    QComboBox* m_operator;
    QCheckBox* m_useFrom;
    QDateEdit* m_from;
    QCheckBox* m_useTo;
    QDateEdit* m_to;
    CListCtrlPlus* m_list;
};

} // namespace selvo::gui
