#ifndef SETTINGSRUN_H
#define SETTINGSRUN_H

#include "dlgsettings.h"
#include "modalwatcher.h"
#include "widget.h"
#include "windowprobe.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

inline int settingsSeen(const ModalWatcher &modals)
{
    int count = 0;
    for (const ModalWatcher::Seen &seen : modals.seen())
        count += seen.className == QLatin1String("DlgSettings") ? 1 : 0;
    return count;
}

// Triggers the window's Settings command and runs `scenario` inside the dialog's modal loop,
// then cancels the dialog (whatever became of the scenario, so that a failed check never
// leaves the command hanging). Message boxes the scenario provokes are answered by `modals`,
// whose timer goes on polling while the scenario waits. Returns false when no dialog came.
inline bool runSettingsCommand(Widget *window, ModalWatcher &modals,
                               const std::function<void(DlgSettings *)> &scenario)
{
    const int seenBefore = settingsSeen(modals);
    // Left open: the scenario below drives it.
    modals.expectDialog(QStringLiteral("DlgSettings"), [](QDialog *) {});
    bool seen = false;
    bool done = false;
    QTimer::singleShot(0, window, [&] {
        QPointer<DlgSettings> dialog;
        // Until the watcher has taken it for the expected dialog, not just until it shows.
        const bool shown = QTest::qWaitFor(
            [&] {
                dialog = window->findChild<DlgSettings *>();
                return dialog && dialog->isVisible() && settingsSeen(modals) > seenBefore;
            },
            5000);
        if (shown && dialog) {
            seen = true;
            scenario(dialog);
            if (dialog)
                dialog->reject();
        }
        done = true;
    });
    action(window, "actionSettings")->trigger();
    // Without a modal loop the scenario runs after the trigger; it must not outlive it.
    const bool finished = QTest::qWaitFor([&] { return done; }, 60000);
    return seen && finished;
}

// True once the dialog shows a record whose high temperature limit is `shown`.
inline bool waitForHighTemp(DlgSettings *dialog, double shown, int timeoutMs = 5000)
{
    auto *editor = child<QDoubleSpinBox>(dialog, "sbHighTemp");
    return QTest::qWaitFor([&] { return qAbs(editor->value() - shown) < 0.05; }, timeoutMs);
}

#endif // SETTINGSRUN_H
