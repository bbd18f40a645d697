#include "gui/members/CSelUserDlg.h"

#include "core/members/MemberPicker.h"
#include "gui/widgets/CEditPlus.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QVBoxLayout>

namespace selvo::gui {

CSelUserDlg::CSelUserDlg(AppContext& ctx, QPoint topLeft, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_topLeft(topLeft), m_search(new CEditPlus(this)),
      m_list(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("选择会员"));
    setAccessibleName(windowTitle());
    resize(300, 320);

    m_search->setPlaceholder(PickerHint());
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAccessibleName(QStringLiteral("会员列表"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_search);
    layout->addWidget(m_list);

    // Up and Down move through the list from any control.
    for (QWidget* w : {static_cast<QWidget*>(m_search), static_cast<QWidget*>(m_list)})
        w->installEventFilter(this);
    connect(m_search, &QLineEdit::textChanged, this, &CSelUserDlg::fill);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CSelUserDlg::accept);

    move(m_topLeft);
    fill();
    m_search->setFocus();
}

CSelUserDlg::~CSelUserDlg() {
    // Hiding the dialog later moves the focus, and the search box then puts its hint back:
    // that must not reach this half-destroyed dialog.
    disconnect(m_search, nullptr, this, nullptr);
    m_search->removeEventFilter(this);
    m_list->removeEventFilter(this);
}

QPoint CSelUserDlg::below(const QWidget* button) {
    return button->mapToGlobal(QPoint(0, button->height() + 5));
}

void CSelUserDlg::showEvent(QShowEvent* event) {
    move(m_topLeft);
    QDialog::showEvent(event);
}

void CSelUserDlg::fill() {
    m_list->clear();
    for (const PickerItem& item : PickerMembers(m_ctx, m_search->value())) {
        auto* row = new QListWidgetItem(item.text, m_list);
        row->setData(Qt::UserRole, item.id);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

void CSelUserDlg::moveSelection(int step) {
    const int n = m_list->count();
    if (n == 0)
        return;
    const int current = m_list->currentRow();
    int next = current < 0 ? 0 : current + step;
    if (next < 0)
        next = n - 1;
    else if (next >= n)
        next = 0;
    m_list->setCurrentRow(next);
}

bool CSelUserDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            moveSelection(key == Qt::Key_Down ? 1 : -1);
            return true;
        }
        // The popup has no buttons: Enter is the OK command itself.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSelUserDlg::accept() {
    QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    // Locked or deleted since the list was filled: not taken, the popup stays.
    const auto picked = PickMember(m_ctx, item->data(Qt::UserRole).toInt());
    if (!picked)
        return;
    m_memberId = picked->id;
    m_name = picked->name;
    m_mobile = picked->mobile;
    m_points = picked->points;
    m_balance = picked->balance;
    QDialog::accept();
}

} // namespace selvo::gui
