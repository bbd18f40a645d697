#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// The lock screen: hides the program until the current operator types the password again.
// Modeless; the main window creates it once and shows it whenever the program is locked.
class CLockDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLockDlg)

public:
    explicit CLockDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CLockDlg() override;

    // Shows it afresh for the current operator: name, empty password, hint, centred.
    void present();

    void accept() override;

signals:
    // The right password was typed; the dialog has hidden itself.
    void unlocked();

private:
    AppContext& m_ctx;
    QLabel* m_operator;
    QLineEdit* m_password;
    QLabel* m_hint;
};

} // namespace selvo::gui
