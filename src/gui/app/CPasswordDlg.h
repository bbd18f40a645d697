#pragma once

#include <QDialog>

class QLineEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// Changes the logged-in operator's password and hint.
class CPasswordDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPasswordDlg)

public:
    explicit CPasswordDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CPasswordDlg() override;

    void accept() override;

private:
    AppContext& m_ctx;
    QLineEdit* m_old;
    QLineEdit* m_new;
    QLineEdit* m_confirm;
    QLineEdit* m_hint;
};

} // namespace selvo::gui
