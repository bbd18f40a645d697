#include "gui/widgets/FieldParts.h"

#include "gui/widgets/ColorRef.h"

#include <QStyle>
#include <QStyleOptionFrame>

namespace selvo::gui {

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

void FitWidthTo(QLineEdit* field, const QString& sample) {
    // The text room a line edit keeps inside its frame: its text margins and 2 px each side,
    // and the cursor.
    const QMargins margins = field->textMargins();
    const int text =
        field->fontMetrics().horizontalAdvance(sample) + margins.left() + margins.right() + 2 * 2 + 1;
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth =
        field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QSize size = field->style()->sizeFromContents(QStyle::CT_LineEdit, &option,
                                                        QSize(text, field->fontMetrics().height()), field);
    field->setMinimumWidth(std::max(field->minimumWidth(), size.width()));
}

QString BoxText(const QString& text) {
    return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace selvo::gui
