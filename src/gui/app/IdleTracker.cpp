#include "gui/app/IdleTracker.h"

#include "core/support/Clock.h"

#include <QCoreApplication>
#include <QEvent>

namespace selvo::gui {

IdleTracker::IdleTracker(QObject* parent) : QObject(parent), m_lastInput(Clock::instance().now()) {
    QCoreApplication::instance()->installEventFilter(this);
}

IdleTracker::~IdleTracker() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

qint64 IdleTracker::idleMSecs() const {
    return qMax<qint64>(0, m_lastInput.msecsTo(Clock::instance().now()));
}

void IdleTracker::reset() {
    m_lastInput = Clock::instance().now();
}

bool IdleTracker::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        reset();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace selvo::gui
