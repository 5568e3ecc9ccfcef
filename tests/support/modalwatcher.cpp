#include "modalwatcher.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace {
constexpr int pollIntervalMs = 10;
constexpr int maxFileAttempts = 300;

QString kindName(int kind)
{
    static const char *const names[]
        = {"message box", "input dialog", "file dialog", "menu", "dialog"};
    return QString::fromLatin1(names[kind]);
}
} // namespace

ModalWatcher::ModalWatcher(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start();
}

ModalWatcher::~ModalWatcher()
{
    m_timer.stop();
    if (!QTest::currentTestFunction() || QTest::currentTestFailed())
        return;
    if (!verify())
        QTest::qFail("ModalWatcher: unexpected or missing modal (see the warnings above)", __FILE__,
                     __LINE__);
}

ModalWatcher::Expectation ModalWatcher::expectation(Kind kind)
{
    Expectation e;
    e.kind = kind;
    return e;
}

void ModalWatcher::expectMessageBox(QMessageBox::StandardButton button)
{
    Expectation e = expectation(Kind::MessageBox);
    e.button = button;
    m_expectations.append(e);
}

void ModalWatcher::expectInput(const QString &text)
{
    Expectation e = expectation(Kind::Input);
    e.text = text;
    m_expectations.append(e);
}

void ModalWatcher::expectInputCancel()
{
    Expectation e = expectation(Kind::Input);
    e.accept = false;
    m_expectations.append(e);
}

void ModalWatcher::expectFile(const QString &path)
{
    Expectation e = expectation(Kind::File);
    e.text = path;
    m_expectations.append(e);
}

void ModalWatcher::expectTypedFile(const QString &folder, const QString &typed)
{
    Expectation e = expectation(Kind::File);
    e.folder = folder;
    e.text = typed;
    m_expectations.append(e);
}

void ModalWatcher::expectFileCancel()
{
    Expectation e = expectation(Kind::File);
    e.accept = false;
    m_expectations.append(e);
}

void ModalWatcher::expectMenu()
{
    m_expectations.append(expectation(Kind::Menu));
}

void ModalWatcher::expectDialog(const QString &className, std::function<void(QDialog *)> handler)
{
    Expectation e = expectation(Kind::Dialog);
    e.className = className;
    e.handler = std::move(handler);
    m_expectations.append(e);
}

void ModalWatcher::typeFileName(QFileDialog *files, const QString &folder, const QString &typed)
{
    files->setDirectory(folder);
    if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(typed);
    else
        files->selectFile(typed);
}

void ModalWatcher::tolerate(const QString &className)
{
    m_tolerated.append(className);
}

bool ModalWatcher::waitForAll(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_expectations.isEmpty(); }, timeoutMs);
}

bool ModalWatcher::verify()
{
    QStringList problems = m_failures;
    for (const Expectation &e : qAsConst(m_expectations))
        problems << QStringLiteral("expected %1 did not appear").arg(kindName(int(e.kind)));
    for (const QString &problem : qAsConst(problems))
        qWarning("ModalWatcher: %s", qPrintable(problem));
    // Reported once: a later check only sees what happens from now on.
    m_failures.clear();
    m_expectations.clear();
    return problems.isEmpty();
}

void ModalWatcher::clear()
{
    m_expectations.clear();
    m_seen.clear();
    m_failures.clear();
}

QStringList ModalWatcher::texts() const
{
    QStringList result;
    for (const Seen &s : m_seen)
        result << s.text;
    return result;
}

void ModalWatcher::poll()
{
    if (m_fileDialog) {
        if (!m_fileDialog->isVisible()) {
            m_fileDialog = nullptr;
        } else if (++m_fileAttempts > maxFileAttempts) {
            m_failures << QStringLiteral("the file dialog did not take \"%1\"")
                              .arg(m_fileExpectation.text);
            QWidget *stuck = m_fileDialog;
            m_fileDialog = nullptr;
            dismiss(stuck);
            return;
        } else {
            answer(m_fileDialog, m_fileExpectation);
            return;
        }
    }
    QWidget *widget = QApplication::activePopupWidget();
    if (!widget)
        widget = QApplication::activeModalWidget();
    // Forget what has gone or closed, so that a dialog shown again is answered again.
    for (int i = m_handled.size() - 1; i >= 0; --i) {
        if (!m_handled.at(i) || !m_handled.at(i)->isVisible())
            m_handled.removeAt(i);
    }
    if (!widget || !widget->isVisible())
        return;
    for (const QPointer<QWidget> &handled : qAsConst(m_handled)) {
        if (handled == widget)
            return;
    }
    m_handled.append(widget);
    // Answering may open a nested modal (a file dialog asking whether to replace a file): a
    // timer whose timeout is still running does not fire again, a restarted one does.
    m_timer.start();
    handle(widget);
}

ModalWatcher::Seen ModalWatcher::describe(QWidget *widget)
{
    Seen s;
    s.className = QString::fromLatin1(widget->metaObject()->className());
    s.title = widget->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(widget)) {
        s.text = box->text();
        s.icon = box->icon();
        s.buttons = box->standardButtons();
        if (QPushButton *button = box->defaultButton())
            s.defaultButton = box->standardButton(button);
    } else if (auto *input = qobject_cast<QInputDialog *>(widget)) {
        s.text = input->labelText();
        s.value = input->textValue();
    } else if (auto *menu = qobject_cast<QMenu *>(widget)) {
        QStringList names;
        for (const QAction *action : menu->actions()) {
            if (action->isSeparator())
                names << QStringLiteral("|");
            else
                names << action->objectName()
                        + (action->isEnabled() ? QString() : QStringLiteral("(off)"));
        }
        s.text = names.join(QLatin1Char(','));
    } else {
        s.text = widget->windowTitle();
    }
    return s;
}

void ModalWatcher::handle(QWidget *widget)
{
    const Seen seen = describe(widget);
    if (m_tolerated.contains(seen.className)) {
        m_seen.append(seen);
        return;
    }
    const int at = m_seen.size();
    m_seen.append(seen);
    if (m_expectations.isEmpty()) {
        m_seen[at].expected = false;
        m_failures << QStringLiteral("unexpected %1: \"%2\"").arg(seen.className, seen.text);
        dismiss(widget);
        return;
    }
    const Expectation expectation = m_expectations.takeFirst();
    if (!answer(widget, expectation)) {
        m_seen[at].expected = false;
        m_failures << QStringLiteral("expected %1, got %2: \"%3\"")
                          .arg(kindName(int(expectation.kind)), seen.className, seen.text);
        dismiss(widget);
    }
}

bool ModalWatcher::answer(QWidget *widget, const Expectation &e)
{
    switch (e.kind) {
    case Kind::MessageBox: {
        auto *box = qobject_cast<QMessageBox *>(widget);
        QAbstractButton *button = box ? box->button(e.button) : nullptr;
        if (!button)
            return false;
        button->click();
        return true;
    }
    case Kind::Input: {
        auto *input = qobject_cast<QInputDialog *>(widget);
        if (!input)
            return false;
        if (e.accept) {
            input->setTextValue(e.text);
            input->accept();
        } else {
            input->reject();
        }
        return true;
    }
    case Kind::File: {
        auto *files = qobject_cast<QFileDialog *>(widget);
        if (!files)
            return false;
        if (e.accept) {
            const QFileInfo info(e.text);
            if (e.folder.isEmpty())
                typeFileName(files, info.absolutePath(), info.fileName());
            else
                typeFileName(files, e.folder, e.text);
            static_cast<QDialog *>(files)->accept(); // runs the file dialog's own accept
            if (files->isVisible() && m_fileDialog != files) {
                m_fileDialog = files;
                m_fileExpectation = e;
                m_fileAttempts = 0;
            }
        } else {
            files->reject();
        }
        return true;
    }
    case Kind::Menu: {
        auto *menu = qobject_cast<QMenu *>(widget);
        if (!menu)
            return false;
        menu->close();
        return true;
    }
    case Kind::Dialog: {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (!dialog || (!e.className.isEmpty() && !widget->inherits(qPrintable(e.className))))
            return false;
        if (e.handler)
            e.handler(dialog);
        else
            dialog->accept();
        return true;
    }
    }
    return false;
}

void ModalWatcher::dismiss(QWidget *widget)
{
    if (auto *menu = qobject_cast<QMenu *>(widget)) {
        menu->close();
    } else if (auto *box = qobject_cast<QMessageBox *>(widget)) {
        // As a user would: Escape picks the box's own escape button, if it has one.
        QTest::keyClick(box, Qt::Key_Escape);
        if (box->isVisible())
            box->done(0);
    } else if (auto *dialog = qobject_cast<QDialog *>(widget)) {
        dialog->reject();
    } else {
        widget->close();
    }
}
