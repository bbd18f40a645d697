#pragma once

#include <QLineEdit>

namespace selvo::gui {

// A one-line box that shows a grey hint while nothing is typed (the search boxes). The hint
// is real text in the box: it goes when the box takes the focus and comes back when the box
// is left blank. Whatever equals the hint (trimmed) counts as empty and is shown grey.
class CEditPlus final : public QLineEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CEditPlus)

public:
    explicit CEditPlus(QWidget* parent = nullptr);
    ~CEditPlus() override;

    // Sets the hint and puts it into the box unless the box already has other text; the hint
    // also becomes the box's accessible name when it has none.
    void setPlaceholder(const QString& placeholder);
    const QString& placeholder() const { return m_placeholder; }

    // Select the whole text when the box takes the focus (after the click that gave it).
    void setSelectAllOnFocus(bool on) { m_selectAllOnFocus = on; }
    bool selectAllOnFocus() const { return m_selectAllOnFocus; }

    bool showsPlaceholder() const;
    // The typed text; empty while the hint is shown.
    QString value() const;
    // Grey (0x7E7E7E) while the hint is shown, otherwise black.
    QColor textColor() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void updateColour();

    QString m_placeholder;
    bool m_selectAllOnFocus = false;
};

} // namespace selvo::gui
