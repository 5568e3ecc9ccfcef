#include "backgroundtask.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace {

int g_dialogDelay = 1000;
constexpr int barSteps = 1000;
// The dialog follows the work this often.
constexpr int refreshMs = 50;
// A slice of window-thread work takes about this long before events are handled again.
constexpr int sliceMs = 20;

} // namespace

BackgroundTask::BackgroundTask(QWidget *window, const QString &label)
    : m_window(window)
{
    // Made now so that its own clock runs from the start: it shows once the delay has passed.
    m_dialog = new QProgressDialog(window);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setLabelText(label);
    m_dialog->setRange(0, barSteps);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(g_dialogDelay);
    connect(m_dialog, &QProgressDialog::canceled, this, [this] { m_progress.cancel(); });
    m_dialog->setValue(0);
    qApp->installEventFilter(this);
}

BackgroundTask::~BackgroundTask()
{
    qApp->removeEventFilter(this);
    delete m_dialog;
}

void BackgroundTask::setDialogDelay(int ms)
{
    g_dialogDelay = std::max(0, ms);
}

int BackgroundTask::dialogDelay()
{
    return g_dialogDelay;
}

void BackgroundTask::showProgress()
{
    if (!m_dialog || m_progress.isCancelled())
        return;
    const double fraction = m_from + (m_to - m_from) * m_progress.fraction();
    const int value = qBound(0, int(fraction * barSteps), barSteps - 1);
    // setValue() of a window-modal dialog handles pending events itself; the bar only moves
    // forwards.
    if (value > m_dialog->value())
        m_dialog->setValue(value);
}

bool BackgroundTask::runSlices(double from, double to,
                               const std::function<bool(TaskProgress &)> &slice)
{
    m_from = from;
    m_to = to;
    m_progress.start(0);
    QElapsedTimer shown;
    shown.start();
    while (!m_progress.isCancelled()) {
        if (slice(m_progress))
            break;
        if (shown.elapsed() >= refreshMs) {
            showProgress();
            shown.restart();
        }
        // The window's events, readings and repaints, between two slices.
        QCoreApplication::processEvents(QEventLoop::AllEvents, sliceMs);
    }
    showProgress();
    return !m_progress.isCancelled();
}

bool BackgroundTask::runOnWorker(double from, double to,
                                 const std::function<void(TaskProgress &)> &work)
{
    m_from = from;
    m_to = to;
    m_progress.start(0);
    if (m_progress.isCancelled())
        return false;
    QEventLoop loop;
    QThread *worker = QThread::create([this, &work] { work(m_progress); });
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer refresh;
    connect(&refresh, &QTimer::timeout, this, &BackgroundTask::showProgress);
    refresh.start(refreshMs);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    showProgress();
    return !m_progress.isCancelled();
}

bool BackgroundTask::blocksInput(QObject *watched, QEvent *event) const
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::Close:
        break;
    default:
        return false;
    }
    // The dialog itself (and its Cancel button) takes input as it should.
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !m_window)
        return false;
    if (m_dialog && (widget == m_dialog || m_dialog->isAncestorOf(widget)))
        return false;
    return widget == m_window || m_window->isAncestorOf(widget);
}

bool BackgroundTask::eventFilter(QObject *watched, QEvent *event)
{
    if (blocksInput(watched, event)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
