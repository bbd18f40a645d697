#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace selvo::gui {

// "确定" (default) and "取消" wired to the dialog's accept() and reject().
inline QDialogButtonBox* OkCancelButtons(QDialog* dlg) {
    auto* buttons = new QDialogButtonBox(dlg);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setAccessibleName(ok->text());
    cancel->setAccessibleName(cancel->text());
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    return buttons;
}

// Gives a field its caption as accessible name (how tests and screen readers find it).
template <class Widget> Widget* Named(Widget* widget, const QString& caption) {
    widget->setAccessibleName(caption);
    return widget;
}

} // namespace selvo::gui
