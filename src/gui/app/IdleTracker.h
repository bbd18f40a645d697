#pragma once

#include <QDateTime>
#include <QObject>

namespace selvo::gui {

// How long the program has gone without keyboard or mouse input. Watches every input event of
// the application and reads the time from Clock, so tests move a ManualClock instead of waiting.
class IdleTracker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IdleTracker)

public:
    explicit IdleTracker(QObject* parent = nullptr);
    ~IdleTracker() override;

    qint64 idleMSecs() const;
    // Counts as input now.
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDateTime m_lastInput;
};

} // namespace selvo::gui
