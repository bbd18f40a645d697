#include "gui/widgets/CEditPlus.h"

#include "gui/widgets/ColorRef.h"

#include <QTimer>

namespace selvo::gui {

CEditPlus::CEditPlus(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &CEditPlus::updateColour);
    updateColour();
}

CEditPlus::~CEditPlus() = default;

void CEditPlus::setPlaceholder(const QString& placeholder) {
    const bool wasEmpty = value().trimmed().isEmpty();
    m_placeholder = placeholder;
    if (accessibleName().isEmpty())
        setAccessibleName(placeholder);
    if (wasEmpty && !hasFocus())
        setText(placeholder);
    updateColour();
}

bool CEditPlus::showsPlaceholder() const {
    return !m_placeholder.isEmpty() && text().trimmed() == m_placeholder;
}

QString CEditPlus::value() const {
    return showsPlaceholder() ? QString() : text();
}

QColor CEditPlus::textColor() const {
    return showsPlaceholder() ? ColorFromRef(0x7E7E7E) : QColor(Qt::black);
}

void CEditPlus::updateColour() {
    QPalette pal = palette();
    pal.setColor(QPalette::Text, textColor());
    setPalette(pal);
}

void CEditPlus::focusInEvent(QFocusEvent* event) {
    if (showsPlaceholder())
        clear();
    QLineEdit::focusInEvent(event);
    // Queued, so the click that gave the focus does not undo the selection.
    if (m_selectAllOnFocus)
        QTimer::singleShot(0, this, &QLineEdit::selectAll);
}

void CEditPlus::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (!m_placeholder.isEmpty() && text().trimmed().isEmpty())
        setText(m_placeholder);
}

} // namespace selvo::gui
