#include "gui/members/CNoSelUser.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace selvo::gui {

CNoSelUser::CNoSelUser(QWidget* parent)
    : QDialog(parent), m_guest(new QPushButton(QStringLiteral("散客"), this)),
      m_member(new QPushButton(QStringLiteral("会员"), this)) {
    setWindowTitle(QStringLiteral("请选择客户类型"));
    setAccessibleName(windowTitle());
    for (QPushButton* b : {m_guest, m_member}) {
        b->setAccessibleName(b->text());
        b->setMinimumSize(100, 40);
    }
    m_guest->setDefault(true);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_guest);
    layout->addWidget(m_member);
    connect(m_guest, &QPushButton::clicked, this, [this] { choose(Guest); });
    connect(m_member, &QPushButton::clicked, this, [this] { choose(Member); });
    m_guest->setFocus();
}

CNoSelUser::~CNoSelUser() = default;

void CNoSelUser::choose(Choice choice) {
    m_choice = choice;
    done(choice);
}

void CNoSelUser::accept() {
    choose(Nothing);
}

void CNoSelUser::reject() {
    choose(Nothing);
}

} // namespace selvo::gui
