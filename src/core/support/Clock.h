#pragma once

#include <QDateTime>

namespace selvo {

// Source of "now" for everything that depends on time, so tests move the clock instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }

    static Clock& instance();
    // Replaces the clock for tests; nullptr restores the system clock. Not owned.
    static void setInstance(Clock* clock);
};

// A clock that stands still until moved.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advanceSecs(qint64 s) { m_now = m_now.addSecs(s); }
    void advanceMSecs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

} // namespace selvo
