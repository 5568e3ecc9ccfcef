#ifndef DRIVERTOOLS_H
#define DRIVERTOOLS_H

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMainWindow;
class QWidget;

// The tools of the acceptance driver, which runs inside the application's own process: steps
// that log one line each, waits with a time limit, and answers to the modal dialogs that the
// application opens while a command runs.
namespace Drive {

// Names the phase (for the log and the exit codes) and starts the guards: the phase ends
// with a failure when it takes longer than phaseLimitMs, or when a modal dialog that nothing
// was armed for stays open.
void beginPhase(const QString &phase, int exitCodeBase, int phaseLimitMs);
// Ends the last step and reports the phase as passed.
void endPhase();

// Ends the step before (logging "STEP <name> OK") and starts the next one.
void step(const QString &name);

// Logs "STEP <name> FAILED: <why>", saves a picture of the window beside the executable and
// ends the process with the step's own exit code.
[[noreturn]] void fail(const QString &why);
void check(bool condition, const QString &why);
// A note in the log that is neither success nor failure.
void note(const QString &text);

// Lets the event loop run until `condition` holds; false when the time is up first.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs);
void waitOrFail(const std::function<bool()> &condition, int timeoutMs, const QString &why);
// Lets the event loop run for `ms`.
void pause(int ms);

QMainWindow *mainWindow();
QWidget *child(QWidget *parent, const char *objectName);
template<class T> T *child(QWidget *parent, const char *objectName)
{
    T *found = qobject_cast<T *>(child(parent, objectName));
    if (!found)
        fail(QStringLiteral("%1 is not a %2")
                 .arg(QLatin1String(objectName), QLatin1String(T::staticMetaObject.className())));
    return found;
}
QAction *action(const char *objectName);
// Triggers an action that must be enabled, as a click on its tool button would.
void trigger(const char *objectName);

// The active modal dialog in a few words, for failure messages.
QString activeModalText();

// An answer to a modal dialog, armed before the command that opens it. Once a visible modal
// dialog of the class is the active one, the handler runs inside that dialog's own event loop
// and must close it (directly or through the dialog's buttons). The handler may itself arm
// answers and wait, for boxes that its clicks provoke. Answers of one class are used in the
// order armed. When nothing of the class appears within timeoutMs, the step fails.
struct Answer
{
    QString className;
    bool claimed = false; // the dialog appeared and the handler runs
    bool done = false; // the handler returned
    QString seenText; // the message or label text, or the window title
};
using AnswerPtr = std::shared_ptr<Answer>;

AnswerPtr answer(const char *className, std::function<void(QWidget *)> handler,
                 int timeoutMs = 15000);
// A message box with exactly this text; presses `button`.
AnswerPtr answerBox(const QString &expectedText,
                    QMessageBox::StandardButton button = QMessageBox::Ok);
// A file dialog: the name typed into its name field, the folder set, then accepted.
AnswerPtr answerFile(const QString &path);
// Waits until the answer's handler has returned.
void awaitAnswer(const AnswerPtr &answer, int timeoutMs = 15000);

} // namespace Drive

#endif // DRIVERTOOLS_H
