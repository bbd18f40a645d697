#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// The login: establishes the current operator. Accepted once an operator has logged in.
class CLoginDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLoginDlg)

public:
    CLoginDlg(AppContext& ctx, const QString& dataFolder, QWidget* parent = nullptr);
    ~CLoginDlg() override;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateHint(const QString& account);

    AppContext& m_ctx;
    QString m_dataFolder;
    QComboBox* m_account;
    QLineEdit* m_password;
    QLabel* m_hint;
};

} // namespace selvo::gui
