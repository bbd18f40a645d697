#pragma once

#include <QDialog>

class QPushButton;

namespace selvo::gui {

// "请选择客户类型": is a sale without a chosen member for a walk-in guest or for a member?
// exec() returns the choice: Guest ("散客", the default button), Member ("会员"), or Nothing
// (Escape, the close box, the OK command).
class CNoSelUser final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CNoSelUser)

public:
    enum Choice { Guest = 0, Member = 1, Nothing = 2 };

    explicit CNoSelUser(QWidget* parent = nullptr);
    ~CNoSelUser() override;

    Choice choice() const { return m_choice; }

    void accept() override;
    void reject() override;

    QPushButton* guestButton() const { return m_guest; }
    QPushButton* memberButton() const { return m_member; }

private:
    void choose(Choice choice);

    Choice m_choice = Nothing;
    QPushButton* m_guest;
    QPushButton* m_member;
};

} // namespace selvo::gui
