#include "dmmdata.h"
#include "tvitemmodel.h"

#include <QColor>
#include <QFont>
#include <QStandardItem>
#include <QtTest>

class TstTvItemModel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startupTree();
    void startupIcons();
    void activeRowStyle_data();
    void activeRowStyle();
    void keepsStoredFont();
    void renameShowsNewName();
    void setDataSignal_data();
    void setDataSignal();
    void wrongVariant_data();
    void wrongVariant();
    void itemsFreedWithModel();

private:
    TvItemModel *model = nullptr;
    QStandardItem *liveRoot = nullptr;
    QModelIndex store() const { return model->index(0, 0); }
    QModelIndex measure1() const { return liveRoot->child(0)->index(); }
};

void TstTvItemModel::init()
{
    model = new TvItemModel;
    liveRoot = model->buildStartupTree();
}

void TstTvItemModel::cleanup()
{
    delete model;
}

void TstTvItemModel::startupTree()
{
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(liveRoot->index(), model->index(1, 0));
    QCOMPARE(model->rowCount(store()), 0);
    QCOMPARE(liveRoot->rowCount(), 1);

    const struct
    {
        QModelIndex index;
        const char *name;
        ItemData::DataType type;
    } rows[] = {{store(), "Store Data", ItemData::Store},
                {liveRoot->index(), "Live Data", ItemData::LiveRoot},
                {measure1(), "Measure1", ItemData::Measure}};
    for (const auto &row : rows) {
        ItemData *item = TvItemModel::itemDataOf(row.index);
        QVERIFY(item);
        QCOMPARE(item->getName(), QString::fromLatin1(row.name));
        QCOMPARE(item->getType(), row.type);
        QCOMPARE(model->data(row.index).toString(), QString::fromLatin1(row.name));
        QVERIFY(!model->data(row.index, TvItemModel::ActiveRole).toBool());
    }
}

void TstTvItemModel::startupIcons()
{
    const QStringList files {":/image/rom.png", ":/image/live.png", ":/image/measure.png"};
    for (const QString &file : files)
        if (!QFile::exists(file))
            QSKIP("the icons are not in the resource bundle yet");
    const QModelIndex rows[] = {store(), liveRoot->index(), measure1()};
    for (int i = 0; i < 3; ++i) {
        const QIcon icon = model->data(rows[i], Qt::DecorationRole).value<QIcon>();
        QCOMPARE(icon.pixmap(16).toImage(), QIcon(files.at(i)).pixmap(16).toImage());
    }
    // Every measurement row shares the one icon.
    QStandardItem *second = model->appendMeasureItem(liveRoot, "Measure2", ItemData::Measure);
    QCOMPARE(second->icon().cacheKey(), liveRoot->child(0)->icon().cacheKey());
}

void TstTvItemModel::activeRowStyle_data()
{
    QTest::addColumn<int>("activeRow"); // 0 store, 1 live root, 2 Measure1, -1 none
    QTest::newRow("none") << -1;
    QTest::newRow("Measure1") << 2;
    QTest::newRow("Store Data") << 0;
}

void TstTvItemModel::activeRowStyle()
{
    QFETCH(int, activeRow);
    const QModelIndex rows[] = {store(), liveRoot->index(), measure1()};
    if (activeRow >= 0)
        QVERIFY(model->setData(rows[activeRow], true, TvItemModel::ActiveRole));
    for (int i = 0; i < 3; ++i) {
        const bool active = i == activeRow;
        QCOMPARE(model->data(rows[i], Qt::FontRole).value<QFont>().weight(), active ? 75 : 50);
        const QVariant colour = model->data(rows[i], Qt::ForegroundRole);
        if (active)
            QCOMPARE(colour.value<QColor>(), QColor(0xd5, 0x7d, 0x00));
        else
            QVERIFY(!colour.isValid());
    }
}

void TstTvItemModel::keepsStoredFont()
{
    QFont italic;
    italic.setItalic(true);
    italic.setBold(true);
    model->setData(store(), italic, Qt::FontRole);
    const QFont shown = model->data(store(), Qt::FontRole).value<QFont>();
    QVERIFY(shown.italic());
    QCOMPARE(shown.weight(), 50); // not active, so normal weight whatever was stored
}

void TstTvItemModel::renameShowsNewName()
{
    TvItemModel::itemDataOf(measure1())->setName(QStringLiteral("Greenhouse"));
    QCOMPARE(model->data(measure1()).toString(), QStringLiteral("Greenhouse"));
    QCOMPARE(liveRoot->child(0)->text(), QStringLiteral("Measure1"));
}

void TstTvItemModel::setDataSignal_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("emissions");
    QTest::newRow("edit, same name") << int(Qt::EditRole) << QVariant("Measure1") << 0;
    QTest::newRow("edit, new name") << int(Qt::EditRole) << QVariant("Outdoor") << 1;
    QTest::newRow("display role") << int(Qt::DisplayRole) << QVariant("Outdoor") << 0;
    QTest::newRow("active") << int(TvItemModel::ActiveRole) << QVariant(true) << 0;
    QTest::newRow("item") << int(TvItemModel::ItemDataRole) << QVariant(QString("x")) << 0;
}

void TstTvItemModel::setDataSignal()
{
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(int, emissions);
    const QModelIndex index = measure1();
    QVariant storedAtSignal;
    connect(model, &TvItemModel::editDataChanged, this, [&](const QModelIndex &changed) {
        QCOMPARE(changed, index);
        storedAtSignal = model->QStandardItemModel::data(changed, role);
    });
    QSignalSpy spy(model, &TvItemModel::editDataChanged);
    QVERIFY(model->setData(index, value, role));
    QCOMPARE(spy.count(), emissions);
    if (spy.count())
        QCOMPARE(storedAtSignal, value);
}

void TstTvItemModel::wrongVariant_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("nothing") << QVariant();
    QTest::newRow("text") << QVariant(QStringLiteral("Measure1"));
    QTest::newRow("number") << QVariant(258);
    QTest::newRow("another object") << QVariant::fromValue<QObject *>(new DmmData(this));
    QTest::newRow("null item") << QVariant::fromValue<ItemData *>(nullptr);
}

void TstTvItemModel::wrongVariant()
{
    QFETCH(QVariant, value);
    QStandardItem *row = liveRoot->child(0);
    row->setData(value, TvItemModel::ItemDataRole);
    QVERIFY(!TvItemModel::itemDataOf(row->index()));
    QVERIFY(!TvItemModel::itemDataOf(row));
    // The standard item's own text is never shown instead.
    const QVariant shown = model->data(row->index());
    QCOMPARE(shown.userType(), int(QMetaType::QString));
    QVERIFY(shown.toString().isEmpty());
}

void TstTvItemModel::itemsFreedWithModel()
{
    QStandardItem *row = model->appendMeasureItem(liveRoot, "Import1", ItemData::Import);
    ItemData *imported = TvItemModel::itemDataOf(row);
    QVERIFY(imported);
    QCOMPARE(imported->getType(), ItemData::Import);
    QCOMPARE(row->parent(), liveRoot);

    // Deleting an item before its row and the model is safe...
    delete TvItemModel::itemDataOf(measure1());
    liveRoot->removeRow(0);
    // ...and the rest go with the model, readings included.
    int destroyed = 0;
    auto *r = new DmmData;
    connect(r, &QObject::destroyed, [&destroyed] { ++destroyed; });
    imported->appendData(r);
    connect(imported, &QObject::destroyed, [&destroyed] { ++destroyed; });
    delete model;
    model = nullptr;
    QCOMPARE(destroyed, 2);
}

QTEST_MAIN(TstTvItemModel)
#include "tst_tvitemmodel.moc"
