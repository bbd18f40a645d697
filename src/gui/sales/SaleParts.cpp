#include "gui/sales/SaleParts.h"

#include "gui/app/CSelvoApp.h"
#include "gui/widgets/ColorRef.h"

namespace selvo::gui {

QFont SaleBoldFont() {
    if (CSelvoApp* app = CSelvoApp::instance())
        return app->boldFont();
    QFont f;
    f.setBold(true);
    return f;
}

QFont SaleLargeFont() {
    if (CSelvoApp* app = CSelvoApp::instance())
        return app->largeFont();
    QFont f;
    f.setPixelSize(22);
    f.setBold(true);
    return f;
}

void SetTextColour(QWidget* widget, quint32 colorRef) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, ColorFromRef(colorRef));
    p.setColor(QPalette::Text, ColorFromRef(colorRef));
    p.setColor(QPalette::ButtonText, ColorFromRef(colorRef));
    widget->setPalette(p);
}

QLineEdit* ReadOnlyField(QWidget* parent, const QString& caption, quint32 colorRef) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setAccessibleName(caption);
    SetTextColour(field, colorRef);
    return field;
}

QString BoxText(const QString& text) {
    return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace selvo::gui
