#pragma once

#include <QTimer>
#include <QVector>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// The members page of the main window: every member with points, spending and balance, the
// shop-wide totals, and the way to register, edit, delete and recharge members. The list has no
// row limit; rows are read a page at a time as it scrolls.
class CMemManDlg final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMemManDlg)

public:
    CMemManDlg(AppContext& ctx, const QString& dataFolder, QWidget* parent = nullptr);
    ~CMemManDlg() override;

public slots:
    // "查询", the first fill 50 ms after creation, and each time the tab is chosen.
    void fillList();
    // "新增": the member editor for a new member; the new member is appended to the list.
    void addMember();
    // "会员充值\扣款": the recharge dialog without a member; the member's row is refreshed.
    // The sale screen's button of the same name runs this too.
    void rechargeMember();
    // "删除": the ticked members (not the highlighted ones), after the question.
    void deleteChecked();

public:
    // The row actions (double-click / "编辑", context menu "充值/扣款").
    void editRow(int row);
    void rechargeRow(int row);
    // The context menu of a row; nullptr (no menu) for -1.
    QMenu* contextMenuFor(int row);

    CListCtrlPlus* list() const { return m_list; }
    QComboBox* stateFilter() const { return m_state; }
    QLineEdit* searchEdit() const { return m_search; }
    QLabel* totalsLabel() const { return m_totals; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* queryButton() const { return m_query; }
    QPushButton* rechargeButton() const { return m_recharge; }
    QPushButton* historyButton() const { return m_history; }
    QPushButton* pointsRulesButton() const { return m_rules; }

private:
    void appendMember(int id);
    void rewriteMember(int id);
    void openPointsRules();
    void openTopupRecords();

    AppContext& m_ctx;
    QString m_dataFolder;
    QPushButton* m_add;
    QPushButton* m_delete;
    QComboBox* m_state;
    QLineEdit* m_search;
    QPushButton* m_query;
    QPushButton* m_recharge;
    QPushButton* m_history;
    QPushButton* m_rules;
    QLabel* m_totals;
    CListCtrlPlus* m_list;
    QTimer m_firstFill;
};

} // namespace selvo::gui
