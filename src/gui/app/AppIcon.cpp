#include "gui/app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace selvo::gui {

namespace {
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal m = size / 16.0;
    QPainterPath box;
    box.addRoundedRect(QRectF(m, m, size - 2 * m, size - 2 * m), size / 5.0, size / 5.0);
    QLinearGradient fill(0, 0, 0, size);
    fill.setColorAt(0, QColor(0x31, 0x9C, 0xE8));
    fill.setColorAt(1, QColor(0x1A, 0x5F, 0xB4));
    p.fillPath(box, fill);
    QFont font(QStringList{QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Microsoft YaHei")});
    font.setPixelSize(int(size * 0.62));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, size, size * 0.97), Qt::AlignCenter, QStringLiteral("岚"));
    return pixmap;
}
} // namespace

QIcon AppIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 24, 32, 48, 64, 128})
            i.addPixmap(drawIcon(size));
        return i;
    }();
    return icon;
}

} // namespace selvo::gui
