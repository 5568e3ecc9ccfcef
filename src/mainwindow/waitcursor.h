#ifndef WAITCURSOR_H
#define WAITCURSOR_H

#include <QGuiApplication>

// Shows the wait cursor for as long as it lives (when `busy`), so that no return path leaves
// it behind.
class WaitCursor
{
public:
    explicit WaitCursor(bool busy = true)
        : busy(busy)
    {
        if (busy)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor()
    {
        if (busy)
            QGuiApplication::restoreOverrideCursor();
    }
    Q_DISABLE_COPY(WaitCursor)

private:
    const bool busy;
};

#endif // WAITCURSOR_H
