#pragma once

#include <QDialog>
#include <QList>

class QLineEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "请选择商品": finds on-sale products by name, initials or code (the list follows every
// keystroke, at most 100 rows by ID) and returns the ticked ones. Run it modally; on OK read
// idsText() ("12,15,20,": each ID followed by a comma, in list order) or ids().
class CSelPrdDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSelPrdDlg)

public:
    explicit CSelPrdDlg(AppContext& context, QWidget* parent = nullptr);
    ~CSelPrdDlg() override;

    QString idsText() const { return m_idsText; }
    QList<int> ids() const;

    CListCtrlPlus* list() const { return m_list; }
    QLineEdit* searchEdit() const { return m_search; }

public slots:
    void accept() override;

private:
    void fill();

    AppContext& m_context;
    QLineEdit* m_search;
    CListCtrlPlus* m_list;
    QString m_idsText;
};

} // namespace selvo::gui
