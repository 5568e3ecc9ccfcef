#ifndef TIMERSPY_H
#define TIMERSPY_H

#include <QEvent>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimerEvent>

// Records the id of every timer event its target receives, to see which timers tick and how
// often.
class TimerSpy : public QObject
{
public:
    explicit TimerSpy(QObject *target) { target->installEventFilter(this); }

    QList<int> ids; // in the order they ticked
    QSet<int> distinct() const { return QSet<int>(ids.cbegin(), ids.cend()); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            ids << static_cast<QTimerEvent *>(event)->timerId();
        return false;
    }
};

#endif // TIMERSPY_H
