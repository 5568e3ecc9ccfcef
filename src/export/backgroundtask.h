#ifndef BACKGROUNDTASK_H
#define BACKGROUNDTASK_H

#include "taskprogress.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

// Runs a long export or import without freezing the window. What needs no window runs on a
// worker thread; what must run on the window's thread (the plug-in, the items) runs in short
// slices between the window's events. Readings keep arriving and the window keeps painting
// meanwhile. Once the work has taken longer than a moment, a window-modal progress dialog
// with Cancel shows how far it has come; before that, the window ignores the user's clicks
// and keys, so nothing can be started twice.
//
// The stages of one task share the dialog: each fills its part of the bar.
//
//     BackgroundTask task(window, tr("Exporting the readings..."));
//     task.runSlices(0.0, 0.1, [&](TaskProgress &p) { return builder.step(20); });
//     task.runOnWorker(0.1, 1.0, [&](TaskProgress &p) { result = write(..., &p); });
//     if (task.wasCancelled()) ...
class BackgroundTask : public QObject
{
    Q_OBJECT

public:
    BackgroundTask(QWidget *window, const QString &label);
    ~BackgroundTask() override;

    // Calls `slice` on this thread until it returns true (everything done) or the user
    // cancels; each call should take a few milliseconds. False when cancelled.
    bool runSlices(double from, double to, const std::function<bool(TaskProgress &)> &slice);
    // Runs `work` on a worker thread and returns once it has ended; the work looks at
    // TaskProgress::isCancelled() and ends early when asked. False when cancelled.
    bool runOnWorker(double from, double to, const std::function<void(TaskProgress &)> &work);

    bool wasCancelled() const { return m_progress.isCancelled(); }

    // How long work runs before the dialog shows (about a second; tests make it 0).
    static void setDialogDelay(int ms);
    static int dialogDelay();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showProgress();
    bool blocksInput(QObject *watched, QEvent *event) const;

    QPointer<QWidget> m_window;
    QProgressDialog *m_dialog = nullptr;
    TaskProgress m_progress;
    double m_from = 0.0;
    double m_to = 1.0;
};

#endif // BACKGROUNDTASK_H
