// A library preloaded into the real ht-meter for the test that kills it. METER_CRASH_PHASE
// says what it does once the window is up:
//   record    connect and start a measurement into the active item
//   download  connect and download the meter's memory into "Store Data"
//   verify    wait until the program has brought back its items, write the readings of the
//             item named METER_CRASH_ITEM and the status bar's text to METER_CRASH_DUMP, close
// While recording or downloading it writes every reading of the item METER_CRASH_ITEM to
// METER_CRASH_LOG as the window takes it, followed by a mark "M <milliseconds since the epoch>
// <readings so far>" every 20 ms; each mark is flushed with the readings before it, so that
// the test knows, after the kill, what the program held when.

#include "dmmdata.h"
#include "itemdata.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int itemDataRole = Qt::UserRole + 2;

QMainWindow *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<QMainWindow *>(w))
            return window;
    }
    return nullptr;
}

[[noreturn]] void fail(const char *why)
{
    std::fprintf(stdout, "CRASHDRIVER FAILED: %s\n", why);
    std::fflush(stdout);
    std::_Exit(3);
}

// The item of the tree shown as `name`, top-level rows first; the driver cannot cast across
// the program's meta-objects, so it goes by the class name.
ItemData *itemNamed(const QString &name)
{
    QMainWindow *window = mainWindow();
    auto *tree = window ? window->findChild<QTreeView *>(QStringLiteral("tvItems")) : nullptr;
    if (!tree)
        return nullptr;
    QAbstractItemModel *model = tree->model();
    QList<QModelIndex> rows;
    for (int top = 0; top < model->rowCount(); ++top) {
        rows << model->index(top, 0);
        for (int child = 0; child < model->rowCount(model->index(top, 0)); ++child)
            rows << model->index(child, 0, model->index(top, 0));
    }
    for (const QModelIndex &row : rows) {
        QObject *object = row.data(itemDataRole).value<QObject *>();
        if (row.data().toString() == name && object
            && qstrcmp(object->metaObject()->className(), "ItemData") == 0)
            return static_cast<ItemData *>(object);
    }
    return nullptr;
}

QByteArray line(const DmmData *r)
{
    auto time = [](const QDateTime &t) {
        return t.isValid() ? QByteArray::number(t.toMSecsSinceEpoch()) : QByteArray("-");
    };
    QByteArray text = "R " + time(r->time()) + ' ' + time(r->storeTime());
    for (int c = 0; c < Channel::Count; ++c) {
        const DmmValue v = r->value(c);
        text += ' ' + QByteArray::number(v.code) + ' ' + QByteArray::number(v.value, 'g', 17) + ' '
            + v.text.toUtf8();
    }
    return text + ' ' + QByteArray::number(int(r->isStore())) + ' '
        + QByteArray::number(r->storeIndex()) + '\n';
}

void trigger(const char *name)
{
    QMainWindow *window = mainWindow();
    auto *action = window->findChild<QAction *>(QLatin1String(name));
    if (!action || !action->isEnabled())
        fail(name);
    action->trigger();
}

// Runs `then` once `condition` holds, looking every 20 ms for at most `limitMs`.
void when(std::function<bool()> condition, std::function<void()> then, const char *what,
          int limitMs = 20000)
{
    if (condition()) {
        then();
        return;
    }
    if (limitMs <= 0)
        fail(what);
    QTimer::singleShot(20, qApp, [=] { when(condition, then, what, limitMs - 20); });
}

class Logger : public QObject
{
public:
    Logger(const QString &item, const QString &path)
        : name(item)
    {
        file = std::fopen(qPrintable(path), "w");
        if (!file)
            fail("cannot write the log");
        connect(&timer, &QTimer::timeout, this, &Logger::log);
        timer.start(20);
    }

private:
    void log()
    {
        ItemData *item = itemNamed(name);
        if (!item)
            return;
        // A download clears the item first.
        if (item->generation() != generation) {
            generation = item->generation();
            logged = 0;
            std::fputs("C\n", file);
        }
        const QList<DmmData *> readings = item->getDataList();
        for (; logged < readings.size(); ++logged)
            std::fputs(line(readings.at(logged)).constData(), file);
        std::fprintf(file, "M %lld %d\n", QDateTime::currentMSecsSinceEpoch(), logged);
        std::fflush(file);
    }

    QString name;
    std::FILE *file = nullptr;
    QTimer timer;
    int logged = 0;
    quint64 generation = 0;
};

void start()
{
    const QByteArray phase = qgetenv("METER_CRASH_PHASE");
    const QString item = qEnvironmentVariable("METER_CRASH_ITEM");
    if (phase == "verify") {
        // The status bar tells what came back once the program has read it.
        when([] { return !mainWindow()->statusBar()->currentMessage().isEmpty(); },
             [item] {
                 ItemData *found = itemNamed(item);
                 std::FILE *dump
                     = std::fopen(qPrintable(qEnvironmentVariable("METER_CRASH_DUMP")), "w");
                 if (!found || !dump)
                     fail("no item to dump");
                 for (const DmmData *r : found->getDataList())
                     std::fputs(line(r).constData(), dump);
                 std::fprintf(dump, "STATUS %s\n",
                              qPrintable(mainWindow()->statusBar()->currentMessage()));
                 std::fclose(dump);
                 mainWindow()->close();
             },
             "the program never said what it recovered");
        return;
    }
    new Logger(item, qEnvironmentVariable("METER_CRASH_LOG")); // lives until the kill
    trigger("actionConnect");
    when(
        [] {
            return mainWindow()->findChild<QAction *>(QStringLiteral("actionStart"))->isEnabled();
        },
        [phase] { trigger(phase == "download" ? "actionItemDownload" : "actionStart"); },
        "the link did not open");
}

void startWhenShown(int attempt)
{
    QMainWindow *window = mainWindow();
    if (window && window->isVisible()) {
        start();
        return;
    }
    if (attempt > 400)
        fail("the main window never appeared");
    QTimer::singleShot(25, qApp, [attempt] { startWhenShown(attempt + 1); });
}

void startDriver()
{
    if (qEnvironmentVariableIsEmpty("METER_CRASH_PHASE"))
        return;
    qunsetenv("LD_PRELOAD");
    QTimer::singleShot(0, qApp, [] { startWhenShown(0); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriver)
