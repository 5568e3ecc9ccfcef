#include "progresswatcher.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>

ProgressWatcher::ProgressWatcher(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &ProgressWatcher::poll);
    m_timer.start(5);
}

void ProgressWatcher::whenPassed(int value, std::function<void(QProgressDialog *)> action)
{
    m_value = value;
    m_action = std::move(action);
}

void ProgressWatcher::poll()
{
    auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (!m_seen) {
        m_seen = true;
        m_windowModal = dialog->windowModality() == Qt::WindowModal;
        m_over = dialog->parentWidget();
        for (const QPushButton *button : dialog->findChildren<QPushButton *>())
            m_cancelOffered = m_cancelOffered || button->isVisible();
    }
    if (m_action && !m_acted && dialog->value() >= m_value) {
        m_acted = true;
        m_action(dialog);
    }
}

void ProgressWatcher::pressCancel(QProgressDialog *dialog)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->isVisible()) {
            button->click();
            return;
        }
    }
}
