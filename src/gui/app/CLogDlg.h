#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// The operation log viewer: date range, operator and kind filters, at most 500 lines.
class CLogDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLogDlg)

public:
    explicit CLogDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CLogDlg() override;

    CListCtrlPlus* list() const { return m_list; }
    void search();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    AppContext& m_ctx;
    QComboBox* m_operator;
    QComboBox* m_kind;
    QCheckBox* m_useFrom;
    QDateEdit* m_from;
    QCheckBox* m_useTo;
    QDateEdit* m_to;
    CListCtrlPlus* m_list;
    QWidget* m_bar = nullptr;
};

} // namespace selvo::gui
