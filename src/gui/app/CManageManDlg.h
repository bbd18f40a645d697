#pragma once

#include <QDialog>

namespace selvo {
struct AppContext;
struct OperatorRecord;
} // namespace selvo

namespace selvo::gui {

class CListCtrlPlus;

// The operator list: add an operator, double-click one to edit it. Operators are never
// deleted; an account is disabled by locking it.
class CManageManDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CManageManDlg)

public:
    explicit CManageManDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CManageManDlg() override;

    CListCtrlPlus* list() const { return m_list; }
    // Opens the editor for the operator of a row (what a double-click does).
    void editRow(int row);
    void addOperator();

private:
    static QStringList rowTexts(const OperatorRecord& op);

    AppContext& m_ctx;
    CListCtrlPlus* m_list;
};

} // namespace selvo::gui
