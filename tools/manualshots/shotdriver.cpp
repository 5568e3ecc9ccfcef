#include "shotdriver.h"

#include "widget.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextStream>
#include <QTreeView>
#include <QVector>

#include <algorithm>

namespace {

// Chart margins as the main window sets them: the plot area starts 70 px from the left,
// 40 px from the top, and ends 20 px from the right and 68 px from the bottom.
QRect plotArea(const QWidget *chart)
{
    return QRect(70, 40, chart->width() - 90, chart->height() - 108);
}

// Presses the button of a dialog that plays the given role (OK, Yes...), like a user would.
bool pressButton(QWidget *dialog, QDialogButtonBox::ButtonRole role)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        for (QAbstractButton *b : box->buttons()) {
            if (box->buttonRole(b) == QMessageBox::ButtonRole(role)) {
                QTest::mouseClick(b, Qt::LeftButton);
                return true;
            }
        }
        return false;
    }
    for (auto *buttons : dialog->findChildren<QDialogButtonBox *>()) {
        for (QAbstractButton *b : buttons->buttons()) {
            if (buttons->buttonRole(b) == role) {
                QTest::mouseClick(b, Qt::LeftButton);
                return true;
            }
        }
    }
    return false;
}

void closeDialog(QWidget *dialog)
{
    if (auto *d = qobject_cast<QDialog *>(dialog))
        d->reject();
    else
        dialog->close();
}

} // namespace

ShotDriver::ShotDriver(Widget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    m_modalPoll.setInterval(20);
    connect(&m_modalPoll, &QTimer::timeout, this, &ShotDriver::pollModal);
    m_modalPoll.start();
}

int ShotDriver::run(const QString &outputDir)
{
    m_out.setPath(outputDir);
    const QList<QPair<QString, std::function<bool()>>> scenes {
        {QStringLiteral("options"), [this] { return sceneOptions(); }},
        {QStringLiteral("live measurement"), [this] { return sceneLiveMeasurement(); }},
        {QStringLiteral("item menu"), [this] { return sceneItemMenu(); }},
        {QStringLiteral("new item"), [this] { return sceneNewItem(); }},
        {QStringLiteral("charts"), [this] { return sceneCharts(); }},
        {QStringLiteral("settings"), [this] { return sceneSettings(); }},
        {QStringLiteral("chart extras"), [this] { return sceneChartExtras(); }},
        {QStringLiteral("download"), [this] { return sceneDownload(); }},
        {QStringLiteral("export"), [this] { return sceneExport(); }},
        {QStringLiteral("csv export"), [this] { return sceneCsvExport(); }},
    };
    QTextStream out(stdout);
    int failed = 0;
    for (const auto &scene : scenes) {
        m_scene = scene.first;
        m_failures.clear();
        m_handlers.clear();
        const bool ok = scene.second() && m_failures.isEmpty();
        // Whatever a failed scene left open is closed before the next one starts.
        for (int i = 0; i < 5 && QApplication::activeModalWidget(); ++i) {
            closeDialog(QApplication::activeModalWidget());
            QTest::qWait(100);
        }
        m_handlers.clear();
        out << (ok ? "ok     " : "FAILED ") << scene.first;
        if (!m_failures.isEmpty())
            out << ": " << m_failures.join(QStringLiteral("; "));
        out << Qt::endl;
        if (!ok)
            ++failed;
    }
    return failed;
}

void ShotDriver::fail(const QString &why)
{
    m_failures << why;
}

QAction *ShotDriver::action(const char *name) const
{
    return m_window->findChild<QAction *>(QLatin1String(name));
}

QWidget *ShotDriver::child(const char *name) const
{
    return m_window->centralWidget()->findChild<QWidget *>(QLatin1String(name));
}

bool ShotDriver::trigger(const char *name)
{
    QAction *a = action(name);
    if (!a || !a->isEnabled()) {
        fail(QStringLiteral("%1 is not available").arg(QLatin1String(name)));
        return false;
    }
    a->trigger();
    return true;
}

bool ShotDriver::save(QWidget *widget, const QString &name)
{
    if (!widget) {
        fail(QStringLiteral("nothing to picture for %1").arg(name));
        return false;
    }
    const QString file = m_out.filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(file, "PNG")) {
        fail(QStringLiteral("cannot write %1").arg(file));
        return false;
    }
    return true;
}

void ShotDriver::expectModals(const QList<Expected> &handlers)
{
    m_handlers = handlers;
}

void ShotDriver::pollModal()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == m_handled)
        return;
    // A progress dialog is watched, not answered.
    if (qobject_cast<QProgressDialog *>(modal))
        return;
    if (m_handlers.isEmpty() || !modal->inherits(m_handlers.constFirst().className)) {
        if (modal != m_unexpected) {
            m_unexpected = modal;
            m_unexpectedSince.start();
        } else if (m_unexpectedSince.elapsed() > 8000) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            fail(QStringLiteral("unexpected %1 %2")
                     .arg(QLatin1String(modal->metaObject()->className()),
                          box ? box->text() : QString()));
            m_handled = modal;
            closeDialog(modal);
        }
        return;
    }
    m_handled = modal;
    const Handler handler = m_handlers.takeFirst().handler;
    // Let the dialog lay itself out and paint once before it is pictured.
    QTest::qWait(300);
    handler(modal);
    if (modal == QApplication::activeModalWidget() && modal->isVisible()) {
        fail(QStringLiteral("a %1 stayed open")
                 .arg(QLatin1String(modal->metaObject()->className())));
        closeDialog(modal);
    }
}

void ShotDriver::click(QWidget *widget, const QPoint &pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

void ShotDriver::drag(QWidget *widget, const QPoint &from, const QPoint &to, bool release)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, widget->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    // A hand moves in steps, not in one jump.
    for (int i = 1; i <= 10; ++i) {
        const QPoint p = from + (to - from) * i / 10;
        QMouseEvent move(QEvent::MouseMove, p, widget->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
        QTest::qWait(15);
    }
    if (release) {
        QMouseEvent up(QEvent::MouseButtonRelease, to, widget->mapToGlobal(to), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &up);
    }
    QTest::qWait(50);
}

void ShotDriver::hover(QWidget *widget, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::qWait(50);
}

bool ShotDriver::sceneOptions()
{
    // First as a new user sees the dialog, then with a short sampling period so that the
    // live pictures fill up quickly.
    expectModals({{"DlgOption", [this](QWidget *dialog) {
                       save(dialog, QStringLiteral("options"));
                       pressButton(dialog, QDialogButtonBox::RejectRole);
                   }}});
    if (!trigger("actionOption"))
        return false;
    if (!QTest::qWaitFor([this] { return modalsDone(); }, 5000))
        fail(QStringLiteral("the options dialog did not appear"));

    expectModals(
        {{"DlgOption",
          [this](QWidget *dialog) {
              auto *rate = dialog->findChild<QSpinBox *>(QStringLiteral("spinSampleRate"));
              if (!rate) {
                  fail(QStringLiteral("no sample rate field"));
                  return;
              }
              rate->setFocus();
              rate->selectAll();
              QTest::keyClicks(rate, QStringLiteral("100"));
              pressButton(dialog, QDialogButtonBox::AcceptRole);
          }},
         {"QMessageBox", [](QWidget *box) { pressButton(box, QDialogButtonBox::AcceptRole); }}});
    trigger("actionOption");
    return QTest::qWaitFor([this] { return modalsDone(); }, 5000);
}

bool ShotDriver::sceneLiveMeasurement()
{
    if (!trigger("actionConnect"))
        return false;
    QAction *start = action("actionStart");
    if (!QTest::qWaitFor([start] { return start && start->isEnabled(); }, 5000)) {
        fail(QStringLiteral("the meter did not connect"));
        return false;
    }
    QTest::qWait(1500); // the first parameter record brings the unit
    trigger("actionStart");
    auto *table = qobject_cast<QTableView *>(child("tv"));
    if (!table || !table->model()) {
        fail(QStringLiteral("no reading table"));
        return false;
    }
    if (!QTest::qWaitFor([table] { return table->model()->rowCount() >= 160; }, 60000))
        fail(QStringLiteral("only %1 readings recorded").arg(table->model()->rowCount()));
    trigger("actionStop");
    QTest::qWait(600);
    save(m_window, QStringLiteral("window"));
    save(child("widget_2"), QStringLiteral("leftpane"));
    return true;
}

bool ShotDriver::sceneItemMenu()
{
    auto *tree = qobject_cast<QTreeView *>(child("tvItems"));
    if (!tree || !tree->model()) {
        fail(QStringLiteral("no item tree"));
        return false;
    }
    // Right-click on the first measurement item (the current row decides the menu).
    const QModelIndex item = tree->model()->index(0, 0, tree->model()->index(1, 0));
    tree->setCurrentIndex(item);
    const QPoint pos = tree->visualRect(item).center();
    bool shown = false;
    QTimer::singleShot(400, this, [this, &shown] {
        if (QWidget *menu = QApplication::activePopupWidget()) {
            shown = save(menu, QStringLiteral("item-menu"));
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(tree->viewport(), &event);
    QTest::qWait(600);
    if (!shown)
        fail(QStringLiteral("no context menu"));
    return shown;
}

bool ShotDriver::sceneNewItem()
{
    expectModals({{"QInputDialog", [this](QWidget *dialog) {
                       save(dialog, QStringLiteral("new-item"));
                       pressButton(dialog, QDialogButtonBox::RejectRole);
                   }}});
    if (!trigger("actionItemNew"))
        return false;
    return QTest::qWaitFor([this] { return modalsDone(); }, 5000);
}

bool ShotDriver::sceneCharts()
{
    auto *tabs = qobject_cast<QTabWidget *>(child("tabWidget"));
    QWidget *chart = child("chartHumi");
    if (!tabs || !chart) {
        fail(QStringLiteral("no charts"));
        return false;
    }
    click(tabs->tabBar(), tabs->tabBar()->tabRect(1).center());
    QTest::qWait(300);
    const QRect plot = plotArea(chart);
    const QPoint from(plot.left() + plot.width() * 35 / 100, plot.top() + 12);
    const QPoint to(plot.left() + plot.width() * 62 / 100, plot.bottom() - 12);
    drag(chart, from, to, false);
    save(chart, QStringLiteral("chart-zoom"));
    QMouseEvent up(QEvent::MouseButtonRelease, to, chart->mapToGlobal(to), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart, &up);
    QTest::qWait(300);
    hover(chart, QPoint(plot.left() + plot.width() * 45 / 100, plot.center().y()));
    hover(chart, QPoint(plot.left() + plot.width() * 47 / 100, plot.center().y()));
    save(chart, QStringLiteral("chart-cursor"));
    // Back to all readings: a drag up and to the left.
    drag(chart, plot.center(), plot.center() - QPoint(40, 40), true);
    click(tabs->tabBar(), tabs->tabBar()->tabRect(0).center());
    return true;
}

bool ShotDriver::sceneSettings()
{
    expectModals({{"DlgSettings", [this](QWidget *dialog) {
                       // The parameters arrive from the meter while the dialog is open.
                       QTest::qWait(1200);
                       save(dialog, QStringLiteral("settings-alarm"));
                       auto *tabs = dialog->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
                       if (tabs) {
                           click(tabs->tabBar(), tabs->tabBar()->tabRect(1).center());
                           QTest::qWait(200);
                           save(dialog, QStringLiteral("settings-offset"));
                       } else {
                           fail(QStringLiteral("no tabs in the settings dialog"));
                       }
                       if (auto *cancel
                           = dialog->findChild<QPushButton *>(QStringLiteral("pushButton_2")))
                           QTest::mouseClick(cancel, Qt::LeftButton);
                   }}});
    if (!trigger("actionSettings"))
        return false;
    return QTest::qWaitFor([this] { return modalsDone(); }, 10000);
}

bool ShotDriver::writeTemperatureLimits(double low, double high, double *oldLow, double *oldHigh)
{
    expectModals(
        {{"DlgSettings", [=](QWidget *dialog) {
              QTest::qWait(1200); // the record arrives while the dialog is open
              auto *lowBox = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbLowTemp"));
              auto *highBox = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbHighTemp"));
              auto *write = dialog->findChild<QPushButton *>(QStringLiteral("pushButton"));
              auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("pushButton_2"));
              if (!lowBox || !highBox || !write || !cancel) {
                  fail(QStringLiteral("no limit fields in the settings dialog"));
                  return;
              }
              if (oldLow)
                  *oldLow = lowBox->value();
              if (oldHigh)
                  *oldHigh = highBox->value();
              highBox->setValue(high);
              lowBox->setValue(low);
              // The confirmation opens on top of this dialog while its handler runs, where
              // the modal poll cannot reach it: a timer of its own answers it.
              bool confirmed = false;
              QTimer answer;
              answer.setInterval(50);
              connect(&answer, &QTimer::timeout, this, [&confirmed] {
                  if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                      confirmed = true;
                      pressButton(box, QDialogButtonBox::AcceptRole);
                  }
              });
              answer.start();
              QTest::mouseClick(write, Qt::LeftButton);
              if (!QTest::qWaitFor([&confirmed] { return confirmed; }, 5000))
                  fail(QStringLiteral("the limits were not confirmed"));
              answer.stop();
              QTest::qWait(200);
              QTest::mouseClick(cancel, Qt::LeftButton);
          }}});
    if (!trigger("actionSettings"))
        return false;
    return QTest::qWaitFor([this] { return modalsDone() && !QApplication::activeModalWidget(); },
                           10000);
}

bool ShotDriver::sceneChartExtras()
{
    auto *tabs = qobject_cast<QTabWidget *>(child("tabWidget"));
    auto *table = qobject_cast<QTableView *>(child("tv"));
    QWidget *chart = child("chartTemp");
    QAction *fit = action("actionFitValueAxis");
    if (!tabs || !table || !table->model() || !chart || !fit) {
        fail(QStringLiteral("no charts, table or fit command"));
        return false;
    }
    click(tabs->tabBar(), tabs->tabBar()->tabRect(0).center());
    QTest::qWait(300);

    // The chart's context menu.
    bool shown = false;
    QTimer::singleShot(400, this, [this, &shown] {
        if (QWidget *menu = QApplication::activePopupWidget()) {
            shown = save(menu, QStringLiteral("chart-menu"));
            menu->close();
        }
    });
    const QPoint inside = plotArea(chart).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, chart->mapToGlobal(inside));
    QApplication::sendEvent(chart, &event);
    QTest::qWait(600);
    if (!shown)
        fail(QStringLiteral("no chart menu"));

    // Limits that the recorded temperatures cross: three tenths of them lie above the high
    // limit and as many below the low one.
    QVector<double> temperatures;
    const QAbstractItemModel *model = table->model();
    for (int row = 0; row < model->rowCount(); ++row)
        temperatures
            << model->index(row, 2).data().toString().section(QLatin1Char(' '), 0, 0).toDouble();
    if (temperatures.size() < 10) {
        fail(QStringLiteral("too few readings for the limits"));
        return false;
    }
    std::sort(temperatures.begin(), temperatures.end());
    const double low = temperatures.at(temperatures.size() * 3 / 10);
    const double high = temperatures.at(temperatures.size() * 7 / 10);
    double oldLow = 0;
    double oldHigh = 0;
    if (!writeTemperatureLimits(low, high, &oldLow, &oldHigh))
        return false;
    QTest::qWait(600);

    fit->trigger();
    QTest::qWait(400);
    save(chart, QStringLiteral("chart-fit"));
    // The table around the first reading outside the limits.
    for (int row = 0; row < model->rowCount(); ++row) {
        const double t
            = model->index(row, 2).data().toString().section(QLatin1Char(' '), 0, 0).toDouble();
        if (t > high || t < low) {
            table->scrollTo(model->index(row, 2), QAbstractItemView::PositionAtCenter);
            break;
        }
    }
    QTest::qWait(300);
    save(table, QStringLiteral("table-limits"));
    table->scrollToBottom();
    fit->trigger();
    QTest::qWait(300);

    // The meter's own humidity limits on the axis that includes zero.
    click(tabs->tabBar(), tabs->tabBar()->tabRect(1).center());
    QTest::qWait(400);
    save(child("chartHumi"), QStringLiteral("chart-limits"));
    click(tabs->tabBar(), tabs->tabBar()->tabRect(0).center());
    QTest::qWait(300);

    // A narrow window with a large desktop font: the time labels skip divisions rather than
    // overlap.
    const QSize size = m_window->size();
    const QFont font = QApplication::font();
    QFont large = font;
    large.setPointSizeF(font.pointSizeF() * 1.5);
    QApplication::setFont(large);
    m_window->resize(760, size.height());
    QTest::qWait(500);
    save(chart, QStringLiteral("chart-narrow"));
    QApplication::setFont(font);
    m_window->resize(size);
    QTest::qWait(300);

    // The meter's own limits back, for the scenes that follow.
    return writeTemperatureLimits(oldLow, oldHigh, nullptr, nullptr);
}

bool ShotDriver::sceneDownload()
{
    // The progress dialog is pictured half-way, from a timer, because the records arrive
    // while the completion message runs its own event loop.
    bool pictured = false;
    QTimer watch;
    watch.setInterval(2);
    connect(&watch, &QTimer::timeout, this, [this, &pictured, &watch] {
        auto *progress = m_window->findChild<QProgressDialog *>();
        if (progress && progress->isVisible() && progress->value() >= progress->maximum() / 3
            && progress->value() < progress->maximum()) {
            pictured = save(progress, QStringLiteral("download"));
            watch.stop();
        }
    });
    watch.start();
    expectModals(
        {{"QMessageBox", [](QWidget *box) { pressButton(box, QDialogButtonBox::AcceptRole); }}});
    if (!trigger("actionItemDownload"))
        return false;
    const bool done = QTest::qWaitFor([this] { return modalsDone(); }, 20000);
    watch.stop();
    QTest::qWait(300);
    if (!pictured)
        fail(QStringLiteral("the progress dialog was not seen"));
    return done && pictured;
}

bool ShotDriver::sceneExport()
{
    const QString report = m_out.filePath(QStringLiteral("report.pdf"));
    QFile::remove(report);
    expectModals(
        {{"dlgExport",
          [this](QWidget *dialog) {
              save(dialog, QStringLiteral("export"));
              // A radio button reacts on its indicator and text, not on the empty rest
              // of its row.
              if (auto *pdf = dialog->findChild<QRadioButton *>(QStringLiteral("rbPdf")))
                  click(pdf, QPoint(8, pdf->height() / 2));
              pressButton(dialog, QDialogButtonBox::AcceptRole);
          }},
         {"QFileDialog",
          [this, report](QWidget *dialog) {
              auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
              if (!name) {
                  fail(QStringLiteral("no file name field in the file dialog"));
                  return;
              }
              name->setFocus();
              name->selectAll();
              QTest::keyClicks(name, report);
              QTest::keyClick(name, Qt::Key_Return);
          }},
         {"QMessageBox", [](QWidget *box) { pressButton(box, QDialogButtonBox::AcceptRole); }}});
    if (!trigger("actionExport"))
        return false;
    const bool done = QTest::qWaitFor([this] { return modalsDone(); }, 20000);
    QFile written(report);
    if (!written.open(QIODevice::ReadOnly) || !written.read(5).startsWith("%PDF-"))
        fail(QStringLiteral("no PDF report written"));
    return done;
}

// The table saved as CSV: the file dialog with that type chosen.
bool ShotDriver::sceneCsvExport()
{
    const QString table = m_out.filePath(QStringLiteral("readings.csv"));
    QFile::remove(table);
    expectModals(
        {{"dlgExport",
          [this](QWidget *dialog) {
              if (auto *rows = dialog->findChild<QRadioButton *>(QStringLiteral("rbTable")))
                  click(rows, QPoint(8, rows->height() / 2));
              pressButton(dialog, QDialogButtonBox::AcceptRole);
          }},
         {"QFileDialog",
          [this, table](QWidget *dialog) {
              auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
              auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
              if (!name || !types) {
                  fail(QStringLiteral("no file name or type field in the file dialog"));
                  return;
              }
              // As a user picks the type: with the keyboard on the type box.
              types->setFocus();
              while (types->currentIndex() + 1 < types->count())
                  QTest::keyClick(types, Qt::Key_Down);
              name->setFocus();
              name->selectAll();
              QTest::keyClicks(name, QStringLiteral("readings"));
              QTest::qWait(200);
              save(dialog, QStringLiteral("export-csv"));
              name->selectAll();
              QTest::keyClicks(name, table);
              QTest::keyClick(name, Qt::Key_Return);
          }},
         {"QMessageBox", [](QWidget *box) { pressButton(box, QDialogButtonBox::AcceptRole); }}});
    if (!trigger("actionExport"))
        return false;
    const bool done = QTest::qWaitFor([this] { return modalsDone(); }, 20000);
    QFile written(table);
    if (!written.open(QIODevice::ReadOnly) || !written.read(3).startsWith("\xEF\xBB\xBF"))
        fail(QStringLiteral("no CSV file written"));
    written.close();
    QFile::remove(table);
    return done;
}
