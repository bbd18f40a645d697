#pragma once

#include <QDialog>
#include <QPoint>

class QListWidget;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CEditPlus;

// "选择会员": a search-as-you-type list of normal members, hanging below the button that opened
// it. exec() returns Accepted when a member was chosen; memberId() and the rest then describe it.
//
//     CSelUserDlg dlg(ctx, CSelUserDlg::below(button), this);
//     if (dlg.exec() == QDialog::Accepted) use(dlg.memberId());
class CSelUserDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSelUserDlg)

public:
    // `topLeft` in screen coordinates.
    CSelUserDlg(AppContext& ctx, QPoint topLeft, QWidget* parent = nullptr);
    ~CSelUserDlg() override;

    // Where the popup goes for a button: its left edge, 5 pixels below its bottom edge.
    static QPoint below(const QWidget* button);

    int memberId() const { return m_memberId; } // -1 until a member is chosen
    const QString& name() const { return m_name; }
    const QString& mobile() const { return m_mobile; }
    int points() const { return m_points; }
    double balance() const { return m_balance; }

    // Enter, the OK command and a double-click: takes the selected member if still normal.
    void accept() override;

    CEditPlus* searchBox() const { return m_search; }
    QListWidget* list() const { return m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fill();
    void moveSelection(int step);

    AppContext& m_ctx;
    QPoint m_topLeft;
    CEditPlus* m_search;
    QListWidget* m_list;
    int m_memberId = -1;
    QString m_name;
    QString m_mobile;
    int m_points = 0;
    double m_balance = 0;
};

} // namespace selvo::gui
