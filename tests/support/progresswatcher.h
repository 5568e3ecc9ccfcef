#ifndef PROGRESSWATCHER_H
#define PROGRESSWATCHER_H

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QProgressDialog;
class QWidget;

// Watches the progress dialog of a long export or import while it is up: whether it showed,
// how (window-modal over which window, with a Cancel button), and acts once its bar has come
// far enough. Tell the ModalWatcher to tolerate "QProgressDialog" as well.
//
//     BackgroundTask::setDialogDelay(0);
//     ProgressWatcher progress;
//     progress.whenPassed(150, &ProgressWatcher::pressCancel);
//     action(window, "actionExport")->trigger();
//     QVERIFY(progress.acted());
class ProgressWatcher : public QObject
{
    Q_OBJECT
public:
    explicit ProgressWatcher(QObject *parent = nullptr);

    // `action` runs once, the first time a shown progress dialog's value is at least `value`
    // (the bars of exports and imports run from 0 to 1000).
    void whenPassed(int value, std::function<void(QProgressDialog *)> action);

    // Clicks the dialog's Cancel button, as a user does.
    static void pressCancel(QProgressDialog *dialog);

    bool seen() const { return m_seen; }
    bool acted() const { return m_acted; }
    bool windowModal() const { return m_windowModal; }
    bool cancelOffered() const { return m_cancelOffered; }
    QWidget *over() const { return m_over; } // the window it was modal to

private:
    void poll();

    QTimer m_timer;
    int m_value = 0;
    std::function<void(QProgressDialog *)> m_action;
    bool m_seen = false;
    bool m_acted = false;
    bool m_windowModal = false;
    bool m_cancelOffered = false;
    QPointer<QWidget> m_over;
};

#endif // PROGRESSWATCHER_H
