#include "ui_widget.h"
#include "windowfixture.h"

#include "tvitemmodel.h"

#include <QAction>
#include <QFile>
#include <QGridLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMetaProperty>
#include <QSplitter>
#include <QStandardItem>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

namespace {

QString joined(const QStringList &parts)
{
    return parts.join(QLatin1Char(' '));
}

// A property as the form table states it: enumerations by key, sizes as WxH, lists of
// children by object name. Besides Qt properties it knows a few of its own: "place" (class and
// parent), "cell" (row,column in the parent's grid layout), "widgets" (of a splitter or tab
// widget, in order), "tabTexts", "actions", "horizontalStretch", "horizontalSpacing",
// "verticalSpacing", "margins", "layoutSpacing", "pointSize", "bold" and "area" (of a tool
// bar).
QString describe(const QObject *object, const QByteArray &property)
{
    const auto *widget = qobject_cast<const QWidget *>(object);
    const auto *layout = qobject_cast<const QLayout *>(object);
    const auto *grid = qobject_cast<const QGridLayout *>(object);
    if (property == "place") {
        const QObject *parent = widget ? widget->parentWidget()
                                       : (layout ? layout->parentWidget() : object->parent());
        return QStringLiteral("%1 in %2")
            .arg(QLatin1String(object->metaObject()->className()),
                 parent ? parent->objectName() : QStringLiteral("nothing"));
    }
    if (property == "cell" && widget && widget->parentWidget()) {
        const auto *owner = qobject_cast<const QGridLayout *>(widget->parentWidget()->layout());
        const int index = owner ? owner->indexOf(const_cast<QWidget *>(widget)) : -1;
        if (index < 0)
            return QStringLiteral("not in a grid");
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        const_cast<QGridLayout *>(owner)->getItemPosition(index, &row, &column, &rowSpan,
                                                          &columnSpan);
        return QStringLiteral("%1,%2").arg(row).arg(column);
    }
    if (property == "widgets") {
        QStringList names;
        if (const auto *splitter = qobject_cast<const QSplitter *>(object)) {
            for (int i = 0; i < splitter->count(); ++i)
                names << splitter->widget(i)->objectName();
        } else if (const auto *tabs = qobject_cast<const QTabWidget *>(object)) {
            for (int i = 0; i < tabs->count(); ++i)
                names << tabs->widget(i)->objectName();
        }
        return joined(names);
    }
    if (property == "tabTexts") {
        QStringList texts;
        if (const auto *tabs = qobject_cast<const QTabWidget *>(object)) {
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
        }
        return texts.join(QStringLiteral(", "));
    }
    if (property == "actions" && widget)
        return actionNames(widget);
    if (property == "horizontalStretch" && widget)
        return QString::number(widget->sizePolicy().horizontalStretch());
    if (property == "horizontalSpacing" && grid)
        return QString::number(grid->horizontalSpacing());
    if (property == "verticalSpacing" && grid)
        return QString::number(grid->verticalSpacing());
    if (property == "margins" && layout) {
        const QMargins m = layout->contentsMargins();
        return m.left() == m.top() && m.top() == m.right() && m.right() == m.bottom()
            ? QString::number(m.left())
            : QStringLiteral("%1,%2,%3,%4")
                  .arg(m.left())
                  .arg(m.top())
                  .arg(m.right())
                  .arg(m.bottom());
    }
    if (property == "layoutSpacing" && widget && widget->layout())
        return QString::number(widget->layout()->spacing());
    if (property == "pointSize" && widget)
        return QString::number(widget->font().pointSize());
    if (property == "bold" && widget)
        return widget->font().bold() ? QStringLiteral("true") : QStringLiteral("false");
    if (property == "area" && widget) {
        const auto *window = qobject_cast<const QMainWindow *>(widget->parentWidget());
        const auto *bar = qobject_cast<const QToolBar *>(widget);
        if (!window || !bar)
            return QStringLiteral("not a tool bar of a main window");
        return QString::fromLatin1(QMetaEnum::fromType<Qt::ToolBarArea>().valueToKey(
            window->toolBarArea(const_cast<QToolBar *>(bar))));
    }

    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfProperty(property.constData());
    if (index < 0)
        return QStringLiteral("<no property %1>").arg(QLatin1String(property));
    const QMetaProperty metaProperty = meta->property(index);
    const QVariant value = metaProperty.read(object);
    if (metaProperty.isFlagType())
        return QString::fromLatin1(metaProperty.enumerator().valueToKeys(value.toInt()));
    if (metaProperty.isEnumType())
        return QString::fromLatin1(metaProperty.enumerator().valueToKey(value.toInt()));
    if (value.type() == QVariant::Size)
        return QStringLiteral("%1x%2").arg(value.toSize().width()).arg(value.toSize().height());
    return value.toString();
}

} // namespace

// The main window's form, on its own and as the finished window sets it up.
class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void actions_data();
    void actions();
    void form_data();
    void form();
    void menusAndToolBar();
    void startupTree();

private:
    // A new window, untouched by the tests that read it.
    std::unique_ptr<Widget> window;
};

void TestMainWindowForm::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
    window = makeTestWindow();
}

void TestMainWindowForm::cleanupTestCase()
{
    window.reset();
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

    QAction *windowAction = action(window.get(), qPrintable(name));
    QVERIFY(windowAction);
    QCOMPARE(windowAction->isEnabled(), inWindow);
}

void TestMainWindowForm::form_data()
{
    QTest::addColumn<QString>("object"); // "Widget": the window itself
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *object, const char *property, const QString &expected) {
        QTest::addRow("%s %s", object, property)
            << QString::fromLatin1(object) << QByteArray(property) << expected;
    };

    // The trailing blank belongs to the title.
    row("Widget", "windowTitle", "HT905+/HT906+ v1.0 ");
    row("Widget", "size", "1000x600");

    // Who holds whom.
    row("centralWidget", "place", "QWidget in Widget");
    row("splitter_2", "place", "QSplitter in centralWidget");
    row("splitter", "place", "QSplitter in splitter_2");
    row("widget_2", "place", "QWidget in splitter");
    row("lcd", "place", "QFrame in widget_2");
    row("twMath", "place", "QTableWidget in widget_2");
    row("itemToolBar", "place", "QToolBar in widget_2");
    row("tvItems", "place", "QTreeView in widget_2");
    row("widget", "place", "QWidget in splitter");
    row("tabWidget", "place", "QTabWidget in widget");
    row("tv", "place", "QTableView in splitter_2");
    row("menuBar", "place", "QMenuBar in Widget");
    row("mainToolBar", "place", "QToolBar in Widget");
    row("statusBar", "place", "QStatusBar in Widget");

    // The panes above the reading table, stretched 2 : 8; the left one is at least as wide as
    // the statistics grid needs (see the item views' test).
    row("splitter_2", "orientation", "Vertical");
    row("splitter_2", "widgets", "splitter tv");
    row("splitter", "orientation", "Horizontal");
    row("splitter", "widgets", "widget_2 widget");
    row("widget_2", "horizontalStretch", "2");
    row("widget", "horizontalStretch", "8");

    const struct
    {
        const char *name, *owner;
        int horizontalSpacing, verticalSpacing, margin; // -1: not stated
    } layouts[] = {{"gridLayout_3", "centralWidget", 6, 6, 11},
                   {"gridLayout_2", "widget_2", 3, 3, 3},
                   {"gridLayout_6", "lcd", -1, 12, 10},
                   {"gridLayout", "widget", 3, 3, 3}};
    for (const auto &l : layouts) {
        row(l.name, "place", QStringLiteral("QGridLayout in %1").arg(QLatin1String(l.owner)));
        if (l.horizontalSpacing >= 0)
            row(l.name, "horizontalSpacing", QString::number(l.horizontalSpacing));
        row(l.name, "verticalSpacing", QString::number(l.verticalSpacing));
        row(l.name, "margins", QString::number(l.margin));
    }

    // The read-outs: caption, value and unit in one grid row per channel.
    row("lcd", "frameShape", "StyledPanel");
    row("lcd", "frameShadow", "Plain");
    row("lcd", "minimumHeight", "150");
    row("lcd", "styleSheet", "background-color: rgb(255, 255, 255);");
    const struct
    {
        const char *caption, *captionText, *value, *unit, *unitText;
    } readOuts[] = {{"label_2", "TEMP", "lcdTemp", "lcdTempUnit", "\u2103"},
                    {"label_3", "HUMI", "lcdHumi", "lcdHumiUnit", "%RH"},
                    {"label_4", "DP", "lcdDewPoint", "lcdDPUnit", "\u2103"},
                    {"label_5", "WB", "lcdWetBulb", "lcdWBUnit", "\u2103"}};
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const auto &r = readOuts[channel];
        row(r.caption, "cell", QStringLiteral("%1,0").arg(channel));
        row(r.caption, "text", r.captionText);
        row(r.value, "cell", QStringLiteral("%1,1").arg(channel));
        row(r.value, "text", "00000");
        row(r.value, "pointSize", "16");
        row(r.value, "bold", "true");
        row(r.value, "alignment", "AlignCenter");
        row(r.unit, "cell", QStringLiteral("%1,2").arg(channel));
        row(r.unit, "text", QString::fromUtf8(r.unitText));
        row(r.unit, "minimumWidth", "10");
    }

    row("twMath", "minimumHeight", "130");
    row("twMath", "maximumHeight", "130");
    row("tvItems", "headerHidden", "true");
    row("tvItems", "editTriggers", "NoEditTriggers");
    row("tv", "frameShape", "StyledPanel");

    row("itemToolBar", "windowTitle", "Item Tool");
    row("itemToolBar", "iconSize", "16x16");
    row("itemToolBar", "toolButtonStyle", "ToolButtonIconOnly");
    row("itemToolBar", "floatable", "true");
    row("mainToolBar", "windowTitle", "Toolbar");
    row("mainToolBar", "area", "TopToolBarArea");
    row("mainToolBar", "iconSize", "16x16");
    row("mainToolBar", "toolButtonStyle", "ToolButtonTextUnderIcon");
    row("mainToolBar", "floatable", "true");
    row("mainToolBar", "actions",
        "actionConnect actionDisconnect | actionStart actionStop | actionItemDownload "
        "actionSettings | actionOption actionExport actionImport | <spacer> actionClose");

    // One chart per tab, in channel order.
    row("tabWidget", "count", "4");
    row("tabWidget", "currentIndex", "0");
    row("tabWidget", "styleSheet", "QTabBar::tab{min-width:100px}");
    row("tabWidget", "widgets", "temperature tab_2 tab_3 tab_4");
    row("tabWidget", "tabTexts", "Temperature, Humidity, Dew Point, Wet Bulb");
    const char *const pages[][2] = {{"temperature", "chartTemp"},
                                    {"tab_2", "chartHumi"},
                                    {"tab_3", "chartDewPoint"},
                                    {"tab_4", "chartWetBulb"}};
    for (const auto &page : pages) {
        row(page[0], "layoutSpacing", "6");
        row(page[1], "place", QStringLiteral("DMMChart in %1").arg(QLatin1String(page[0])));
        row(page[1], "frameShape", "StyledPanel");
        row(page[1], "frameShadow", "Raised");
    }
}

void TestMainWindowForm::form()
{
    QFETCH(QString, object);
    QFETCH(QByteArray, property);
    QFETCH(QString, expected);

    const QObject *found
        = object == window->objectName() ? window.get() : window->findChild<QObject *>(object);
    QVERIFY2(found, qPrintable(object));
    QCOMPARE(describe(found, property), expected);
}

void TestMainWindowForm::menusAndToolBar()
{
    const QList<QAction *> menus = window->menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->text(), QStringLiteral("&File"));
    QCOMPARE(menus.at(1)->text(), QStringLiteral("&Help"));
    QCOMPARE(actionNames(menus.at(0)->menu()),
             QStringLiteral("actionConnect actionDisconnect actionStart actionStop | "
                            "actionImport actionExport | actionClose"));
    QCOMPARE(actionNames(menus.at(1)->menu()), QStringLiteral("actionManual"));

    // The spacer takes the free width so that Close sits at the far end.
    auto *bar = child<QToolBar>(window.get(), "mainToolBar");
    QWidget *spacer = bar->widgetForAction(bar->actions().at(13));
    QVERIFY(spacer);
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    // Sync Time is reachable from nowhere.
    QVERIFY(action(window.get(), "actionSyncTime")->associatedWidgets().isEmpty());
}

void TestMainWindowForm::startupTree()
{
    TvItemModel *model = window->itemModel();
    QTreeView *tree = itemTree(window.get());
    QCOMPARE(tree->model(), model);

    QCOMPARE(model->rowCount(), 2);
    const QModelIndex store = storeRow(window.get());
    const QModelIndex live = liveRow(window.get());
    QCOMPARE(store.data().toString(), QStringLiteral("Store Data"));
    QCOMPARE(live.data().toString(), QStringLiteral("Live Data"));
    QCOMPARE(window->liveRoot()->index(), live);
    QCOMPARE(model->rowCount(store), 0);
    QCOMPARE(liveNames(window.get()), QStringList {"Measure1*"});
    QVERIFY(tree->isExpanded(live));

    // Measure1 is active, current, and drawn as the active row.
    const QModelIndex measure1 = liveItemRow(window.get(), 0);
    QVERIFY(window->activeItem());
    QCOMPARE(window->activeItem(), TvItemModel::itemDataOf(measure1));
    QCOMPARE(window->activeItem()->getType(), ItemData::Measure);
    QCOMPARE(tree->currentIndex(), measure1);
    QVERIFY(!store.data(TvItemModel::ActiveRole).toBool());
    QVERIFY(!live.data(TvItemModel::ActiveRole).toBool());
    QCOMPARE(measure1.data(Qt::ForegroundRole).value<QColor>(), QColor(QStringLiteral("#d57d00")));
    QVERIFY(measure1.data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!store.data(Qt::FontRole).value<QFont>().bold());
    QCOMPARE(actionNames(child<QToolBar>(window.get(), "itemToolBar")),
             QStringLiteral("actionItemSetToActive actionItemRename actionItemNew "
                            "actionItemDelete"));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
