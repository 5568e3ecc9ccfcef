#include "drivertools.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace Drive {

namespace {

constexpr int pollMs = 10;
// How long a modal dialog that nothing answers may stay before the phase fails.
constexpr int unansweredLimitMs = 3000;

struct PhaseState
{
    QString phase;
    int exitCodeBase = 20;
    int stepNumber = 0;
    QString stepName;
    QElapsedTimer stepClock;
    QElapsedTimer phaseClock;
    QList<AnswerPtr> pending; // armed and not yet claimed, in the order armed
    QList<QPointer<QWidget>> claimed;
};

PhaseState &state()
{
    static PhaseState s;
    return s;
}

void printLine(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString describe(QWidget *widget)
{
    if (!widget)
        return QStringLiteral("none");
    QString text;
    if (auto *box = qobject_cast<QMessageBox *>(widget))
        text = box->text();
    else if (auto *input = qobject_cast<QInputDialog *>(widget))
        text = input->labelText();
    else
        text = widget->windowTitle();
    return QStringLiteral("%1 \"%2\"").arg(QLatin1String(widget->metaObject()->className()), text);
}

bool isClaimed(QWidget *widget)
{
    for (const QPointer<QWidget> &w : qAsConst(state().claimed)) {
        if (w == widget)
            return true;
    }
    return false;
}

// Fails the phase when a modal dialog stays open that no armed answer waits for: such a box
// would otherwise block the command that opened it until the runner gives up.
void startGuards(int phaseLimitMs)
{
    auto *guard = new QTimer(qApp);
    auto unanswered = std::make_shared<QElapsedTimer>();
    auto lastSeen = std::make_shared<QPointer<QWidget>>();
    QObject::connect(guard, &QTimer::timeout, qApp, [=] {
        if (state().phaseClock.elapsed() > phaseLimitMs)
            fail(QStringLiteral("the phase ran longer than %1 s; active modal: %2")
                     .arg(phaseLimitMs / 1000)
                     .arg(activeModalText()));
        QWidget *modal = QApplication::activeModalWidget();
        bool waitedFor = !modal || !modal->isVisible() || isClaimed(modal)
            || qobject_cast<QProgressDialog *>(modal);
        for (const AnswerPtr &a : qAsConst(state().pending)) {
            if (modal && modal->inherits(qPrintable(a->className)))
                waitedFor = true;
        }
        if (waitedFor) {
            *lastSeen = nullptr;
            return;
        }
        if (*lastSeen != modal) {
            *lastSeen = modal;
            unanswered->start();
        } else if (unanswered->elapsed() > unansweredLimitMs) {
            fail(QStringLiteral("unexpected %1").arg(describe(modal)));
        }
    });
    guard->start(100);
}

} // namespace

void beginPhase(const QString &phase, int exitCodeBase, int phaseLimitMs)
{
    state().phase = phase;
    state().exitCodeBase = exitCodeBase;
    state().phaseClock.start();
    printLine(QStringLiteral("PHASE %1 BEGIN").arg(phase));
    startGuards(phaseLimitMs);
    // A hung event loop never runs the guards: a thread of its own ends the process then.
    const QByteArray name = phase.toLocal8Bit();
    std::thread([name, phaseLimitMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(phaseLimitMs + 10000));
        std::fprintf(stdout, "PHASE %s FAILED: the program hangs\n", name.constData());
        std::fflush(stdout);
        std::_Exit(4);
    }).detach();
}

void endPhase()
{
    step(QString());
    printLine(QStringLiteral("PHASE %1 PASSED (%2 ms)")
                  .arg(state().phase)
                  .arg(state().phaseClock.elapsed()));
}

void step(const QString &name)
{
    PhaseState &s = state();
    if (!s.stepName.isEmpty())
        printLine(QStringLiteral("STEP %1 OK (%2 ms)").arg(s.stepName).arg(s.stepClock.elapsed()));
    s.stepName = name;
    s.stepClock.start();
    if (!name.isEmpty())
        ++s.stepNumber;
}

void fail(const QString &why)
{
    PhaseState &s = state();
    printLine(QStringLiteral("STEP %1 FAILED: %2").arg(s.stepName, why));
    // A picture of what the user would have seen at that moment.
    const QString picture = QStringLiteral("%1/e2e-failure-%2.png")
                                .arg(QCoreApplication::applicationDirPath(), s.phase);
    if (QWidget *modal = QApplication::activeModalWidget())
        modal->grab().save(QStringLiteral("%1/e2e-failure-%2-modal.png")
                               .arg(QCoreApplication::applicationDirPath(), s.phase));
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("Widget") && w->isVisible()) {
            w->grab().save(picture);
            printLine(QStringLiteral("picture of the window: %1").arg(picture));
        }
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // Nested dialogs may be open: leave at once instead of unwinding their event loops.
    std::_Exit(s.exitCodeBase + s.stepNumber);
}

void check(bool condition, const QString &why)
{
    if (!condition)
        fail(why);
}

void note(const QString &text)
{
    printLine(QStringLiteral("NOTE %1").arg(text));
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

void waitOrFail(const std::function<bool()> &condition, int timeoutMs, const QString &why)
{
    if (!waitUntil(condition, timeoutMs))
        fail(QStringLiteral("%1 (waited %2 ms; active modal: %3)")
                 .arg(why)
                 .arg(timeoutMs)
                 .arg(activeModalText()));
}

void pause(int ms)
{
    QTest::qWait(ms);
}

QMainWindow *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("Widget")) {
            if (auto *window = qobject_cast<QMainWindow *>(w))
                return window;
        }
    }
    return nullptr;
}

QWidget *child(QWidget *parent, const char *objectName)
{
    if (!parent)
        fail(QStringLiteral("no window to look for %1 in").arg(QLatin1String(objectName)));
    auto *found = parent->findChild<QWidget *>(QLatin1String(objectName));
    if (!found)
        fail(QStringLiteral("%1 has no child %2")
                 .arg(parent->objectName(), QLatin1String(objectName)));
    return found;
}

QAction *action(const char *objectName)
{
    QMainWindow *window = mainWindow();
    auto *found = window ? window->findChild<QAction *>(QLatin1String(objectName)) : nullptr;
    if (!found)
        fail(QStringLiteral("the window has no action %1").arg(QLatin1String(objectName)));
    return found;
}

void trigger(const char *objectName)
{
    QAction *a = action(objectName);
    check(a->isEnabled(), QStringLiteral("%1 is disabled").arg(QLatin1String(objectName)));
    a->trigger();
}

QString activeModalText()
{
    return describe(QApplication::activeModalWidget());
}

AnswerPtr answer(const char *className, std::function<void(QWidget *)> handler, int timeoutMs)
{
    auto a = std::make_shared<Answer>();
    a->className = QLatin1String(className);
    state().pending.append(a);

    // A timer of its own for every answer: a handler that waits for a box of its own runs
    // inside this timer's slot, and a timer never re-enters its own slot.
    auto *poller = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poller, &QTimer::timeout, qApp, [a, poller, clock, handler, timeoutMs] {
        if (a->claimed)
            return;
        if (clock->elapsed() > timeoutMs)
            fail(QStringLiteral("expected a %1, none appeared; active modal: %2")
                     .arg(a->className, activeModalText()));
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || isClaimed(modal)
            || !modal->inherits(qPrintable(a->className)))
            return;
        // Answers of one class go in the order they were armed.
        for (const AnswerPtr &earlier : qAsConst(state().pending)) {
            if (earlier == a)
                break;
            if (modal->inherits(qPrintable(earlier->className)))
                return;
        }
        a->claimed = true;
        state().pending.removeOne(a);
        state().claimed.append(modal);
        // Stopped, not deleted: its slot is still running. The application object frees it.
        poller->stop();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            a->seenText = box->text();
        else if (auto *input = qobject_cast<QInputDialog *>(modal))
            a->seenText = input->labelText();
        else
            a->seenText = modal->windowTitle();
        handler(modal);
        a->done = true;
    });
    poller->start(pollMs);
    return a;
}

AnswerPtr answerBox(const QString &expectedText, QMessageBox::StandardButton button)
{
    return answer("QMessageBox", [expectedText, button](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        check(box->text() == expectedText,
              QStringLiteral("message box says \"%1\", expected \"%2\"")
                  .arg(box->text(), expectedText));
        QAbstractButton *pressed = box->button(button);
        check(pressed,
              QStringLiteral("message box \"%1\" lacks the wanted button").arg(box->text()));
        pressed->click();
    });
}

AnswerPtr answerFile(const QString &path)
{
    return answer("QFileDialog", [path](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        const QFileInfo info(path);
        dialog->setDirectory(info.absolutePath());
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        check(name, QStringLiteral("the file dialog has no name field (a native dialog?)"));
        // As a user types it; selectFile() would leave a focused field alone.
        name->setText(info.fileName());
        // The dialog may refuse the name while it still reads the folder: try again.
        waitOrFail(
            [dialog] {
                if (dialog->isVisible())
                    static_cast<QDialog *>(dialog)->accept();
                return !dialog->isVisible();
            },
            5000, QStringLiteral("the file dialog did not take %1").arg(path));
    });
}

void awaitAnswer(const AnswerPtr &answer, int timeoutMs)
{
    waitOrFail([answer] { return answer->done; }, timeoutMs,
               QStringLiteral("the %1 was not answered").arg(answer->className));
}

} // namespace Drive
