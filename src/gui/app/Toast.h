#pragma once

#include "gui/widgets/ColorRef.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace selvo::gui {

// A short message that vanishes by itself: a half-transparent rounded box with white text (a
// line for each line of the message) over the window that raised it. It takes neither focus
// nor input, so the screen below stays usable; several may be on screen at once, each living
// its own time.
class CToastDlg final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CToastDlg)

public:
    static constexpr int kTickMs = 100;
    static constexpr int kHeight = 81;     // the box's fixed height in pixels
    static constexpr int kTextMargin = 40; // added to the text width
    static constexpr int kAlpha = 200;
    static constexpr int kRadius = 12;

    // Placed at once (see `mode` in ShowToast); not shown yet.
    CToastDlg(const QString& text, quint32 colour, double seconds, int mode, QWidget* owner);
    ~CToastDlg() override;

    const QString& text() const { return m_text; }
    quint32 colour() const { return m_colour; }
    double seconds() const { return m_seconds; }
    int mode() const { return m_mode; }
    QWidget* owner() const { return m_owner; }
    qint64 remainingMs() const { return m_remainingMs; }

    // One step of the countdown (the timer calls it every kTickMs); closes the toast, which
    // then deletes itself, when its time is up. Tests call it to drive time without waiting.
    void tick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void place();
    void render();

    QString m_text;
    quint32 m_colour;
    double m_seconds;
    int m_mode;
    QPointer<QWidget> m_owner;
    qint64 m_remainingMs = 0;
    QImage m_image;
    QTimer m_timer;
};

// Shows a toast and returns at once; the toast deletes itself when its time is up.
// colour is 0x00BBGGRR (kToastRed, kToastBlue); seconds is the display time; mode 0 centres
// it over the owner's window (over the main window or the screen without an owner), mode 1
// puts it centred 50 px above the bottom of the owner (or screen), mode 2 in the owner's
// (or screen's) bottom-right corner. Every toast passes through Messages (tests read them).
CToastDlg* ShowToast(const QString& text, quint32 colour, double seconds, int mode, QWidget* owner);

// The two usual calls: 1.5 seconds, centred over the owner.
CToastDlg* ToastError(QWidget* owner, const QString& text);   // red: refusals and errors
CToastDlg* ToastSuccess(QWidget* owner, const QString& text); // blue: success

} // namespace selvo::gui
