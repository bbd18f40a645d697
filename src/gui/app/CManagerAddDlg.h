#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// The operator editor: a new operator (ID -1) or an existing one. Accepted after saving;
// operatorId() is then the saved operator's ID.
class CManagerAddDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CManagerAddDlg)

public:
    CManagerAddDlg(AppContext& ctx, int operatorId, QWidget* parent = nullptr);
    ~CManagerAddDlg() override;

    int operatorId() const { return m_id; }
    void accept() override;

private:
    void randomToggled(bool on);
    void showRoleDescription(int role);

    AppContext& m_ctx;
    int m_id;
    QLineEdit* m_employeeNo;
    QCheckBox* m_random;
    QLineEdit* m_name;
    QLineEdit* m_phone;
    QLineEdit* m_account;
    QLineEdit* m_password;
    QLineEdit* m_passwordAgain;
    QLineEdit* m_hint;
    QComboBox* m_role;
    QComboBox* m_state;
    QLabel* m_roleDescription;
};

} // namespace selvo::gui
