#pragma once

#include <QDialog>

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// The order picker of "按订单退货": one customer's sales, newest first, at most 500. A double-click
// on a row (or OK on the selected row) takes its order number and closes with Accepted.
class CReturnSelOrder final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CReturnSelOrder)

public:
    // `memberId` -1 lists the guests' sales.
    CReturnSelOrder(AppContext& ctx, int memberId, QWidget* parent = nullptr);
    ~CReturnSelOrder() override;

    QString orderNo() const { return m_orderNo; }
    CListCtrlPlus* list() const { return m_list; }

    void accept() override;

private:
    void take(int row);

    CListCtrlPlus* m_list;
    QString m_orderNo;
};

} // namespace selvo::gui
