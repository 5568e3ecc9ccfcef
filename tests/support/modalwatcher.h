#ifndef MODALWATCHER_H
#define MODALWATCHER_H

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QDialog;
class QFileDialog;
class QWidget;

// Answers the message boxes, input and file dialogs, other modal dialogs and popup menus that
// a window test provokes, and fails the test on any it did not expect.
//
// Arm the expectations before the action that opens the boxes, run the action, then check:
//
//     ModalWatcher modals;                          // watching from now on
//     modals.expectMessageBox(QMessageBox::Ok);     // answered in the order armed
//     connectAction->trigger();                     // the box comes and goes in here
//     QVERIFY(modals.verify());                     // all expected seen, nothing else
//     QCOMPARE(modals.last().text, QString("Failed to open device."));
//
// When a box appears later (from a signal or a timer), wait with waitForAll() first. A modal
// that is not expected is recorded, dismissed (Escape key, reject, close) so that the test
// goes on, and makes verify() fail; so does an expectation that was never met. The destructor
// runs the same check and fails the running test function if nothing has checked yet, so a
// watcher left in scope guards a test even without the final QVERIFY.
//
// The watcher polls QApplication::activePopupWidget() and activeModalWidget() from a timer,
// which also runs inside the nested event loop of a modal exec(). Classes given to tolerate()
// (for instance a window-modal QProgressDialog that stays open while the test goes on) are
// recorded once and left alone.
class ModalWatcher : public QObject
{
    Q_OBJECT
public:
    struct Seen
    {
        QString className; // "QMessageBox", "QInputDialog", "QFileDialog", "QMenu", ...
        // The message text; an input dialog's label; a menu's actions as object names
        // separated by ",", disabled ones followed by "(off)" and separators as "|"; another
        // dialog's window title.
        QString text;
        QString title; // the window title
        QString value; // the text an input dialog proposed when it appeared
        QMessageBox::Icon icon = QMessageBox::NoIcon; // for message boxes
        QMessageBox::StandardButtons buttons; // for message boxes
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton; // for message boxes
        bool expected = true;
    };

    explicit ModalWatcher(QObject *parent = nullptr);
    ~ModalWatcher() override;

    // A message box; presses `button` (the box must offer it).
    void expectMessageBox(QMessageBox::StandardButton button = QMessageBox::Ok);
    // A text input dialog; types `text` and presses OK.
    void expectInput(const QString &text);
    // A text input dialog; cancels it.
    void expectInputCancel();
    // A file dialog; picks `path` and accepts.
    void expectFile(const QString &path);
    // A file dialog; opens `folder` and types `typed` into the name box as a user would (a
    // name, a path relative to `folder` perhaps through a folder that does not exist, or an
    // absolute path), then accepts.
    void expectTypedFile(const QString &folder, const QString &typed);
    // A file dialog; cancels it.
    void expectFileCancel();
    // A popup menu; records its actions and closes it without choosing.
    void expectMenu();
    // Any other modal dialog, class name `className` (empty: any); the handler must close it
    // (accept, reject or done).
    void expectDialog(const QString &className, std::function<void(QDialog *)> handler);

    // Types into a file dialog's name box what expectTypedFile() types, for handlers that do
    // more with the dialog. selectFile() is no substitute: it leaves the name box alone while
    // the box has the focus.
    static void typeFileName(QFileDialog *files, const QString &folder, const QString &typed);

    // Modals of this class are recorded once and left open.
    void tolerate(const QString &className);

    // Waits until every expectation was met or the time is up; true when none is left.
    bool waitForAll(int timeoutMs = 5000);

    // True when every expectation was met and nothing unexpected appeared; writes the reasons
    // otherwise (with qWarning) so that the failing QVERIFY explains itself.
    bool verify();
    // Forgets the expectations, the record and the failures.
    void clear();

    QList<Seen> seen() const { return m_seen; }
    Seen last() const { return m_seen.isEmpty() ? Seen() : m_seen.last(); }
    QStringList texts() const; // every seen text, in order
    int pending() const { return m_expectations.size(); }
    QStringList failures() const { return m_failures; }

private:
    enum class Kind { MessageBox, Input, File, Menu, Dialog };
    struct Expectation
    {
        Kind kind = Kind::MessageBox;
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        QString text;
        QString folder; // a file dialog's folder; empty: the folder of `text`
        bool accept = true;
        QString className;
        std::function<void(QDialog *)> handler;
    };

    static Expectation expectation(Kind kind);
    void poll();
    void handle(QWidget *widget);
    void dismiss(QWidget *widget);
    bool answer(QWidget *widget, const Expectation &expectation);
    static Seen describe(QWidget *widget);

    QTimer m_timer;
    QList<Expectation> m_expectations;
    QList<Seen> m_seen;
    QStringList m_failures;
    QStringList m_tolerated;
    QList<QPointer<QWidget>> m_handled;
    // A file dialog may refuse an accept while it still reads its folder: it is answered
    // again on later polls until it closes.
    QPointer<QWidget> m_fileDialog;
    Expectation m_fileExpectation;
    int m_fileAttempts = 0;
    bool m_checked = false;
    bool m_busy = false;
};

#endif // MODALWATCHER_H
