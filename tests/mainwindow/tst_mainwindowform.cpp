#include "ui_widget.h"
#include "windowfixture.h"

#include "dmmchart.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QSplitter>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QWidgetAction>

// The main window's form, on its own and as the finished window sets it up.
class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void actions_data();
    void actions();
    void readOuts_data();
    void readOuts();
    void widgetTree();
    void layouts_data();
    void layouts();
    void chartTabs();
    void mainToolBarOrder();
    void menus();
    void windowTitleAndSize();
    void startupTree();

private:
    static QString names(const QList<QAction *> &actions);
};

QString TestMainWindowForm::names(const QList<QAction *> &actions)
{
    QStringList result;
    for (const QAction *a : actions) {
        if (a->isSeparator())
            result << QStringLiteral("|");
        else if (qobject_cast<const QWidgetAction *>(a))
            result << QStringLiteral("<spacer>");
        else
            result << a->objectName();
    }
    return result.join(QLatin1Char(' '));
}

void TestMainWindowForm::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
}

void TestMainWindowForm::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<bool>("inForm"); // enabled as the form builds it
    QTest::addColumn<bool>("inWindow"); // enabled in a new window, adapter found, not connected

    const struct
    {
        const char *name, *text, *icon;
        bool inForm, inWindow;
    } rows[] = {
        {"actionConnect", "Connect", "connect", false, true},
        {"actionDisconnect", "&Disconnect", "disconnect", false, false},
        {"actionOption", "&Options", "options", true, true},
        {"actionClose", "C&lose", "exit", true, true},
        {"actionStart", "Start", "play", false, false},
        {"actionStop", "Stop", "stop", false, false},
        {"actionManual", "&Manual", "help", true, true},
        {"actionItemNew", "New", "new", true, true},
        {"actionItemDelete", "Delete", "delete", true, true},
        {"actionItemRename", "Rename", "rename", true, true},
        {"actionItemSetToActive", "Set to active", "active", true, true},
        {"actionItemDownload", "Download", "pcdownload", true, false},
        {"actionExport", "Export", "export", true, true},
        {"actionImport", "Import", "import", true, true},
        {"actionSyncTime", "Sync Time", "sync", false, false},
        {"actionSettings", "Settings", "settings", true, false},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromUtf8(r.text)
                              << QStringLiteral(":/image/%1.png").arg(QLatin1String(r.icon))
                              << r.inForm << r.inWindow;
}

void TestMainWindowForm::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, icon);
    QFETCH(bool, inForm);
    QFETCH(bool, inWindow);

    QMainWindow host;
    Ui::Widget form;
    form.setupUi(&host);
    QCOMPARE(host.objectName(), QStringLiteral("Widget"));
    QAction *formAction = host.findChild<QAction *>(name);
    QVERIFY(formAction);
    QCOMPARE(formAction->parent(), &host);
    QCOMPARE(formAction->text(), text);
    QCOMPARE(formAction->isEnabled(), inForm);
    QVERIFY(formAction->shortcut().isEmpty());
    if (name == QLatin1String("actionOption"))
        QCOMPARE(formAction->toolTip(), QStringLiteral("Options"));

    QVERIFY2(QFile::exists(icon), qPrintable(icon + " is not in the resource bundle"));
    const QImage expected = QIcon(icon).pixmap(16, 16).toImage();
    QVERIFY(!expected.isNull());
    QCOMPARE(formAction->icon().pixmap(16, 16).toImage(), expected);

    auto window = makeTestWindow();
    QAction *windowAction = action(window.get(), qPrintable(name));
    QVERIFY(windowAction);
    QCOMPARE(windowAction->isEnabled(), inWindow);
}

void TestMainWindowForm::readOuts_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("captionText");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("unitText");

    const QString celsius = QStringLiteral("\u2103");
    QTest::newRow("temperature") << 0 << "label_2"
                                 << "TEMP"
                                 << "lcdTemp"
                                 << "lcdTempUnit" << celsius;
    QTest::newRow("humidity") << 1 << "label_3"
                              << "HUMI"
                              << "lcdHumi"
                              << "lcdHumiUnit"
                              << "%RH";
    QTest::newRow("dew point") << 2 << "label_4"
                               << "DP"
                               << "lcdDewPoint"
                               << "lcdDPUnit" << celsius;
    QTest::newRow("wet bulb") << 3 << "label_5"
                              << "WB"
                              << "lcdWetBulb"
                              << "lcdWBUnit" << celsius;
}

void TestMainWindowForm::readOuts()
{
    QFETCH(int, row);
    QFETCH(QString, caption);
    QFETCH(QString, captionText);
    QFETCH(QString, value);
    QFETCH(QString, unit);
    QFETCH(QString, unitText);

    auto window = makeTestWindow();
    auto *grid = window->findChild<QGridLayout *>(QStringLiteral("gridLayout_6"));
    QVERIFY(grid);
    const QString names[] = {caption, value, unit};
    for (int column = 0; column < 3; ++column) {
        QLayoutItem *item = grid->itemAtPosition(row, column);
        QVERIFY(item && item->widget());
        QCOMPARE(item->widget()->objectName(), names[column]);
    }
    auto *captionLabel = window->findChild<QLabel *>(caption);
    auto *valueLabel = window->findChild<QLabel *>(value);
    auto *unitLabel = window->findChild<QLabel *>(unit);
    QCOMPARE(captionLabel->text(), captionText);
    QCOMPARE(valueLabel->text(), QStringLiteral("00000"));
    QCOMPARE(valueLabel->font().pointSize(), 16);
    QVERIFY(valueLabel->font().bold());
    QCOMPARE(valueLabel->alignment(), Qt::AlignCenter);
    QCOMPARE(unitLabel->text(), unitText);
    QCOMPARE(unitLabel->minimumWidth(), 10);
}

void TestMainWindowForm::widgetTree()
{
    auto window = makeTestWindow();
    Widget *w = window.get();

    // Who holds whom: object name, class, parent's object name.
    const struct
    {
        const char *name, *className, *parent;
    } tree[] = {
        {"centralWidget", "QWidget", "Widget"},  {"splitter_2", "QSplitter", "centralWidget"},
        {"splitter", "QSplitter", "splitter_2"}, {"widget_2", "QWidget", "splitter"},
        {"lcd", "QFrame", "widget_2"},           {"twMath", "QTableWidget", "widget_2"},
        {"itemToolBar", "QToolBar", "widget_2"}, {"tvItems", "QTreeView", "widget_2"},
        {"widget", "QWidget", "splitter"},       {"tabWidget", "QTabWidget", "widget"},
        {"tv", "QTableView", "splitter_2"},      {"menuBar", "QMenuBar", "Widget"},
        {"mainToolBar", "QToolBar", "Widget"},   {"statusBar", "QStatusBar", "Widget"},
    };
    for (const auto &node : tree) {
        auto *child = w->findChild<QWidget *>(QString::fromLatin1(node.name));
        QVERIFY2(child, node.name);
        QCOMPARE(child->metaObject()->className(), node.className);
        QCOMPARE(child->parentWidget()->objectName(), QString::fromLatin1(node.parent));
    }

    auto *outer = w->findChild<QSplitter *>(QStringLiteral("splitter_2"));
    auto *inner = w->findChild<QSplitter *>(QStringLiteral("splitter"));
    QCOMPARE(outer->orientation(), Qt::Vertical);
    QCOMPARE(inner->orientation(), Qt::Horizontal);
    QCOMPARE(outer->widget(0), inner);
    QCOMPARE(outer->widget(1)->objectName(), QStringLiteral("tv"));
    QCOMPARE(inner->widget(0)->objectName(), QStringLiteral("widget_2"));
    QCOMPARE(inner->widget(1)->objectName(), QStringLiteral("widget"));

    auto *left = w->findChild<QWidget *>(QStringLiteral("widget_2"));
    QCOMPARE(left->minimumWidth(), 230);
    QCOMPARE(left->sizePolicy().horizontalStretch(), 2);
    QCOMPARE(w->findChild<QWidget *>(QStringLiteral("widget"))->sizePolicy().horizontalStretch(),
             8);

    auto *lcd = w->findChild<QFrame *>(QStringLiteral("lcd"));
    QCOMPARE(lcd->frameShape(), QFrame::StyledPanel);
    QCOMPARE(lcd->frameShadow(), QFrame::Plain);
    QCOMPARE(lcd->minimumHeight(), 150);
    QCOMPARE(lcd->styleSheet(), QStringLiteral("background-color: rgb(255, 255, 255);"));

    auto *math = w->findChild<QTableWidget *>(QStringLiteral("twMath"));
    QCOMPARE(math->minimumHeight(), 130);
    QCOMPARE(math->maximumHeight(), 130);

    auto *itemBar = w->findChild<QToolBar *>(QStringLiteral("itemToolBar"));
    QCOMPARE(itemBar->windowTitle(), QStringLiteral("Item Tool"));
    QCOMPARE(itemBar->iconSize(), QSize(16, 16));
    QCOMPARE(itemBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QVERIFY(itemBar->isFloatable());

    auto *mainBar = w->findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QCOMPARE(mainBar->windowTitle(), QStringLiteral("Toolbar"));
    QCOMPARE(w->toolBarArea(mainBar), Qt::TopToolBarArea);
    QCOMPARE(mainBar->iconSize(), QSize(16, 16));
    QCOMPARE(mainBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QVERIFY(mainBar->isFloatable());

    QCOMPARE(w->findChild<QTableView *>(QStringLiteral("tv"))->frameShape(), QFrame::StyledPanel);
    QCOMPARE(w->menuBar()->objectName(), QStringLiteral("menuBar"));
    QCOMPARE(w->centralWidget()->objectName(), QStringLiteral("centralWidget"));
}

void TestMainWindowForm::layouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("horizontalSpacing");
    QTest::addColumn<int>("verticalSpacing");
    QTest::addColumn<int>("margin"); // -1: not checked

    QTest::newRow("central") << "gridLayout_3"
                             << "centralWidget" << 6 << 6 << 11;
    QTest::newRow("left pane") << "gridLayout_2"
                               << "widget_2" << 3 << 3 << 3;
    QTest::newRow("read-outs") << "gridLayout_6"
                               << "lcd" << -1 << 12 << 10;
    QTest::newRow("chart pane") << "gridLayout"
                                << "widget" << 3 << 3 << 3;
}

void TestMainWindowForm::layouts()
{
    QFETCH(QString, name);
    QFETCH(QString, owner);
    QFETCH(int, horizontalSpacing);
    QFETCH(int, verticalSpacing);
    QFETCH(int, margin);

    auto window = makeTestWindow();
    auto *grid = window->findChild<QGridLayout *>(name);
    QVERIFY(grid);
    QCOMPARE(grid->parentWidget()->objectName(), owner);
    if (horizontalSpacing >= 0)
        QCOMPARE(grid->horizontalSpacing(), horizontalSpacing);
    QCOMPARE(grid->verticalSpacing(), verticalSpacing);
    QCOMPARE(grid->contentsMargins(), QMargins(margin, margin, margin, margin));
}

void TestMainWindowForm::chartTabs()
{
    auto window = makeTestWindow();
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->styleSheet(), QStringLiteral("QTabBar::tab{min-width:100px}"));

    const struct
    {
        const char *page, *text, *chart;
    } pages[] = {{"temperature", "Temperature", "chartTemp"},
                 {"tab_2", "Humidity", "chartHumi"},
                 {"tab_3", "Dew Point", "chartDewPoint"},
                 {"tab_4", "Wet Bulb", "chartWetBulb"}};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), QString::fromLatin1(pages[i].page));
        QCOMPARE(tabs->tabText(i), QString::fromLatin1(pages[i].text));
        auto *chart = tabs->widget(i)->findChild<DMMChart *>(QString::fromLatin1(pages[i].chart));
        QVERIFY2(chart, pages[i].chart);
        QCOMPARE(chart->frameShape(), QFrame::StyledPanel);
        QCOMPARE(chart->frameShadow(), QFrame::Raised);
        auto *grid = qobject_cast<QGridLayout *>(tabs->widget(i)->layout());
        QVERIFY(grid);
        QCOMPARE(grid->spacing(), 6);
    }
}

void TestMainWindowForm::mainToolBarOrder()
{
    auto window = makeTestWindow();
    auto *bar = window->findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QCOMPARE(names(bar->actions()),
             QStringLiteral("actionConnect actionDisconnect | actionStart actionStop | "
                            "actionItemDownload actionSettings | actionOption actionExport "
                            "actionImport | <spacer> actionClose"));
    // The spacer takes the free width so that Close sits at the far end.
    QWidget *spacer = bar->widgetForAction(bar->actions().at(13));
    QVERIFY(spacer);
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    // Sync Time is reachable from nowhere.
    QVERIFY(action(window.get(), "actionSyncTime")->associatedWidgets().isEmpty());
}

void TestMainWindowForm::menus()
{
    auto window = makeTestWindow();
    const QList<QAction *> menus = window->menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->text(), QStringLiteral("&File"));
    QCOMPARE(menus.at(1)->text(), QStringLiteral("&Help"));
    QCOMPARE(names(menus.at(0)->menu()->actions()),
             QStringLiteral("actionConnect actionDisconnect actionStart actionStop | "
                            "actionImport actionExport | actionClose"));
    QCOMPARE(names(menus.at(1)->menu()->actions()), QStringLiteral("actionManual"));
}

void TestMainWindowForm::windowTitleAndSize()
{
    auto window = makeTestWindow();
    // The trailing blank belongs to the title.
    QCOMPARE(window->windowTitle(), QStringLiteral("HT905+/HT906+ v1.0 "));
    QCOMPARE(window->size(), QSize(1000, 600));
}

void TestMainWindowForm::startupTree()
{
    auto window = makeTestWindow();
    TvItemModel *model = window->itemModel();
    auto *tree = window->findChild<QTreeView *>(QStringLiteral("tvItems"));
    QCOMPARE(tree->model(), model);
    QVERIFY(tree->isHeaderHidden());
    QCOMPARE(tree->editTriggers(), QAbstractItemView::NoEditTriggers);

    QCOMPARE(model->rowCount(), 2);
    const QModelIndex store = model->index(0, 0);
    const QModelIndex live = model->index(1, 0);
    QCOMPARE(store.data().toString(), QStringLiteral("Store Data"));
    QCOMPARE(live.data().toString(), QStringLiteral("Live Data"));
    QCOMPARE(window->liveRoot()->index(), live);
    QCOMPARE(model->rowCount(store), 0);
    QCOMPARE(model->rowCount(live), 1);
    const QModelIndex measure1 = model->index(0, 0, live);
    QCOMPARE(measure1.data().toString(), QStringLiteral("Measure1"));
    QVERIFY(tree->isExpanded(live));

    // Measure1 is active, current, and drawn as the active row.
    QVERIFY(window->activeItem());
    QCOMPARE(window->activeItem(), TvItemModel::itemDataOf(measure1));
    QCOMPARE(window->activeItem()->getType(), ItemData::Measure);
    QCOMPARE(tree->currentIndex(), measure1);
    QVERIFY(measure1.data(TvItemModel::ActiveRole).toBool());
    QVERIFY(!store.data(TvItemModel::ActiveRole).toBool());
    QVERIFY(!live.data(TvItemModel::ActiveRole).toBool());
    QCOMPARE(measure1.data(Qt::ForegroundRole).value<QColor>(), QColor(QStringLiteral("#d57d00")));
    QVERIFY(measure1.data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!store.data(Qt::FontRole).value<QFont>().bold());

    // The item tool bar follows the current row.
    auto *itemBar = window->findChild<QToolBar *>(QStringLiteral("itemToolBar"));
    QCOMPARE(names(itemBar->actions()),
             QStringLiteral("actionItemSetToActive actionItemRename actionItemNew "
                            "actionItemDelete"));
    tree->setCurrentIndex(store);
    QCOMPARE(names(itemBar->actions()), QStringLiteral("actionItemSetToActive actionItemDownload"));
    tree->setCurrentIndex(live);
    QCOMPARE(names(itemBar->actions()), QStringLiteral("actionItemNew"));
    // Selecting a row does not change the active item.
    QCOMPARE(window->activeItem(), TvItemModel::itemDataOf(measure1));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
