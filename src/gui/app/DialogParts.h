#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
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

// A caption that names `field` (its buddy), so a screen reader reads the caption with the field.
// An input field without a name of its own takes the caption as its accessible name; a label
// that shows a value keeps the value as its accessible text.
inline QLabel* CaptionFor(QWidget* parent, const QString& caption, QWidget* field) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(field);
    if (!qobject_cast<QLabel*>(field) && field->accessibleName().isEmpty())
        field->setAccessibleName(caption);
    return label;
}

// A label that shows a value: found in code by `key` (its object name), heard as its text.
inline QLabel* ValueLabel(QWidget* parent, const QString& key) {
    auto* label = new QLabel(parent);
    label->setObjectName(key);
    return label;
}

} // namespace selvo::gui
