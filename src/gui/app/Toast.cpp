#include "gui/app/Toast.h"

#include "gui/app/CSelvoApp.h"
#include "gui/app/CSelvoDlg.h"
#include "gui/app/Messages.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <utility>

namespace selvo::gui {

namespace {

QFont toastFont() {
    QFont font(QStringList{QStringLiteral("SimSun"), QStringLiteral("宋体"),
                           QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(14);
    font.setBold(true);
    return font;
}

// NaN, infinite or negative seconds must not leave a toast on screen for ever.
qint64 lifetimeMs(double seconds) {
    constexpr double kLongest = 24.0 * 3600.0;
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return qint64(std::llround(std::min(seconds, kLongest) * 1000.0));
}

// The lines of a message: "\r\n" (the way messages are written), "\n" or "\r" each end one.
QStringList linesOf(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines.split(QLatin1Char('\n'));
}

QRect screenRect(QWidget* near) {
    QScreen* screen = near ? near->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QRect workArea(QWidget* near) {
    QScreen* screen = near ? near->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// A toast raised without an owner belongs to no window, so nothing takes it down with the
// application: the ones still showing then are deleted when the application object goes.
QList<QPointer<CToastDlg>>& ownerlessToasts() {
    static QList<QPointer<CToastDlg>> toasts;
    return toasts;
}
bool ownerlessCleanupArmed = false;

void deleteOwnerlessToasts() {
    ownerlessCleanupArmed = false;
    const QList<QPointer<CToastDlg>> toasts = std::exchange(ownerlessToasts(), {});
    for (const QPointer<CToastDlg>& toast : toasts)
        delete toast.data();
}

void keepUntilTheApplicationGoes(CToastDlg* toast) {
    QList<QPointer<CToastDlg>>& toasts = ownerlessToasts();
    toasts.removeIf([](const QPointer<CToastDlg>& gone) { return gone.isNull(); });
    toasts.append(toast);
    if (!ownerlessCleanupArmed) {
        qAddPostRoutine(deleteOwnerlessToasts);
        ownerlessCleanupArmed = true;
    }
}

} // namespace

CToastDlg::CToastDlg(const QString& text, quint32 colour, double seconds, int mode, QWidget* owner)
    : QWidget(owner ? owner->window() : nullptr,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                  Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint),
      m_text(text), m_colour(colour), m_seconds(seconds), m_mode(mode),
      m_owner(owner ? owner->window() : nullptr), m_remainingMs(lifetimeMs(seconds)) {
    setObjectName(QStringLiteral("CToastDlg"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    setEnabled(false);
    setFont(toastFont());
    setAccessibleName(linesOf(text).join(QLatin1Char('\n')));
    setWindowTitle(text);

    // As wide as the longest line and high enough for every line.
    const QFontMetrics metrics(font());
    const QStringList lines = linesOf(text);
    int textWidth = 0;
    for (const QString& line : lines)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    const int width = std::min(textWidth + kTextMargin, workArea(owner).width());
    const int height = std::max<int>(kHeight, int(lines.size()) * metrics.lineSpacing() + kTextMargin);
    setFixedSize(width, height);
    place();
    render();

    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &CToastDlg::tick);
    m_timer.start();
}

CToastDlg::~CToastDlg() = default;

void CToastDlg::place() {
    QWidget* owner = m_owner.data();
    const QSize size = this->size();
    const QRect ref = owner ? owner->frameGeometry() : screenRect(nullptr);
    QPoint topLeft = ref.topLeft();
    switch (m_mode) {
    case 0: {
        // Over the owner; without one over the main window, else the work area; kept on screen.
        QRect over = ref;
        if (!owner) {
            CSelvoApp* app = CSelvoApp::instance();
            CSelvoDlg* main = app ? app->mainWindow() : nullptr;
            over = main && main->isVisible() ? main->frameGeometry() : workArea(nullptr);
        }
        topLeft = QPoint(over.x() + (over.width() - size.width()) / 2,
                         over.y() + (over.height() - size.height()) / 2);
        const QRect area = workArea(owner);
        topLeft.setX(
            std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
        topLeft.setY(
            std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
        break;
    }
    case 1:
        topLeft =
            QPoint(ref.x() + ref.width() / 2 - size.width() / 2, ref.y() + ref.height() - 50 - size.height());
        break;
    case 2:
        if (owner)
            topLeft = QPoint(ref.x() + ref.width() - 30 - size.width(),
                             ref.y() + ref.height() - 50 - size.height());
        else
            topLeft = QPoint(ref.x() + ref.width() - 100 - size.width(),
                             ref.y() + ref.height() - 5 - size.height());
        break;
    default:
        break;
    }
    move(topLeft);
}

// Drawn once; later paint events only copy the picture.
void CToastDlg::render() {
    const qreal ratio = devicePixelRatioF();
    m_image = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::transparent);

    QPainter p(&m_image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QColor background = ColorFromRef(m_colour);
    background.setAlpha(kAlpha);
    QPainterPath box;
    box.addRoundedRect(QRectF(0, 0, width(), height()), kRadius, kRadius);
    p.fillPath(box, background);
    // Without a compositing window manager the transparent corners would show black.
    setMask(QRegion(box.toFillPolygon().toPolygon()));

    p.setPen(Qt::white);
    p.setFont(font());
    const QRect textRect(0, 2, width(), height() - 2);
    QStringList shown;
    for (const QString& line : linesOf(m_text))
        shown << QFontMetrics(font()).elidedText(line, Qt::ElideRight, width() - kTextMargin / 2);
    p.drawText(textRect, Qt::AlignCenter, shown.join(QLatin1Char('\n')));
}

void CToastDlg::tick() {
    m_remainingMs -= kTickMs;
    if (m_remainingMs <= 0) {
        m_timer.stop();
        close();
    }
}

void CToastDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, m_image);
}

void CToastDlg::keyPressEvent(QKeyEvent* event) {
    // No key ever closes a toast; it only goes when its time is up.
    event->accept();
}

void CToastDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Lets a screen reader announce the message.
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

CToastDlg* ShowToast(const QString& text, quint32 colour, double seconds, int mode, QWidget* owner) {
    ToastRecord record{text, colour, seconds, mode, owner ? owner->window() : nullptr};
    Messages::noteToast(record);
    auto* toast = new CToastDlg(text, colour, seconds, mode, owner);
    if (!toast->parentWidget())
        keepUntilTheApplicationGoes(toast);
    toast->show();
    // Clicks pass through to the window below. Asked for only while the window is made, X11
    // (Qt 6.4's xcb plug-in) still hands the toast every click over it; set again on the shown
    // window, its input region really is empty.
    if (QWindow* window = toast->windowHandle()) {
        const Qt::WindowFlags flags = window->flags() | Qt::WindowTransparentForInput;
        window->setFlags(flags & ~Qt::WindowTransparentForInput);
        window->setFlags(flags);
    }
    return toast;
}

CToastDlg* ToastError(QWidget* owner, const QString& text) {
    return ShowToast(text, kToastRed, 1.5, 0, owner);
}

CToastDlg* ToastSuccess(QWidget* owner, const QString& text) {
    return ShowToast(text, kToastBlue, 1.5, 0, owner);
}

} // namespace selvo::gui
