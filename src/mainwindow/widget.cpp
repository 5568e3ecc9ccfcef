#include "widget.h"
#include "ui_widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "dmmparam.h"
#include "idmm.h"
#include "imydmm.h"
#include "meterlog.h"
#include "pluginloader.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"
#include "tvitemmodel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSerialPortInfo>
#include <QShowEvent>
#include <QStandardItem>
#include <QTimer>
#include <QTimerEvent>
#include <QUrl>

namespace {
// The meter's USB serial adapter.
constexpr quint16 adapterVendorId = 0x1A86;
constexpr quint16 adapterProductId = 0x7523;
} // namespace

Widget::Widget(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::Widget)
{
    ui->setupUi(this);
    // Without a complete set of device interfaces the application cannot work; it leaves
    // quietly once the event loop runs.
    if (!loadPlugins()) {
        qCWarning(lcMeter) << "device plug-ins incomplete, quitting";
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    initObj();
    initWidget();
    initSelf();
    initConnec();
}

Widget::~Widget()
{
    if (m_dmm)
        m_dmm->close();
    // Nothing may reach the slots while the window is taken apart.
    if (m_dmm)
        disconnect(m_dmm->object(), nullptr, this, nullptr);
    if (m_myDmm)
        disconnect(m_myDmm->object(), nullptr, this, nullptr);
    if (m_serialDevice)
        disconnect(m_serialDevice->object(), nullptr, this, nullptr);
    if (m_itemModel)
        disconnect(m_itemModel, nullptr, this, nullptr);
    if (ui->tvItems->selectionModel())
        disconnect(ui->tvItems->selectionModel(), nullptr, this, nullptr);
    // Readings a plug-in thread queued before the link closed are the window's; dropped with
    // its pending events they would never be freed. Delivered now, they are only deleted.
    m_closing = true;
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    // The table points into the active item's readings; the items go with the tree model.
    if (m_dataModel)
        m_dataModel->clearData();
    m_activeItem = nullptr;
    delete ui;
    ui = nullptr;
}

std::array<DMMChart *, Channel::Count> Widget::charts() const
{
    return {ui->chartTemp, ui->chartHumi, ui->chartDewPoint, ui->chartWetBulb};
}

bool Widget::loadPlugins()
{
    DevicePlugins plugins;
    const bool complete = PluginLoader::load(QCoreApplication::applicationDirPath(), plugins);
    m_serialDevice = plugins.serialDevice;
    m_portFinder = plugins.portFinder;
    m_dmm = plugins.dmm;
    m_myDmm = plugins.myDmm;
    return complete;
}

void Widget::initObj()
{
    // Owned by the window, which outlives every view that shows it.
    m_dataModel = new DataModel(this, this);
    m_dataModel->setConverter(m_myDmm);
    m_dataModel->setUnit(m_unitIndex, m_unitText);
}

void Widget::initWidget()
{
    QHeaderView *header = ui->tv->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    header->setSectionsClickable(false);
    ui->tv->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Rows of one fixed height: an item of a million readings is shown without measuring rows.
    ui->tv->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->tv->verticalHeader()->setDefaultSectionSize(ui->tv->fontMetrics().height() + 8);
    ui->tv->setModel(m_dataModel);
    const int widths[] = {80, 150, 100, 80, 100};
    for (int column = 0; column < int(sizeof widths / sizeof widths[0]); ++column)
        ui->tv->setColumnWidth(column, widths[column]);

    ui->tvItems->installEventFilter(this);
    ui->tv->installEventFilter(this);

    // A list's own minimum height is some five scroll-bar widths, which grow with the font
    // resolution: on a 100-dpi screen the reading table and the item tree, under the read-outs
    // and the statistics grid, made the window's minimum 602 pixels high, so that a first
    // start could not have it 600 high. The table needs no more than its header and a row.
    ui->tv->setMinimumHeight(ui->tv->horizontalHeader()->sizeHint().height()
                             + ui->tv->verticalHeader()->defaultSectionSize()
                             + 2 * ui->tv->frameWidth());

    setupStatisticTable();

    ui->actionConnect->setEnabled(
        m_portFinder && !m_portFinder->findPort(adapterVendorId, adapterProductId).isNull());

    QMenu *fileMenu = new QMenu(tr("&File"), ui->menuBar);
    fileMenu->addAction(ui->actionConnect);
    fileMenu->addAction(ui->actionDisconnect);
    fileMenu->addAction(ui->actionStart);
    fileMenu->addAction(ui->actionStop);
    fileMenu->addSeparator();
    fileMenu->addAction(ui->actionImport);
    fileMenu->addAction(ui->actionExport);
    fileMenu->addSeparator();
    fileMenu->addAction(ui->actionClose);
    QMenu *helpMenu = new QMenu(tr("&Help"), ui->menuBar);
    helpMenu->addAction(ui->actionManual);
    ui->menuBar->addMenu(fileMenu);
    ui->menuBar->addMenu(helpMenu);

    ui->tvItems->header()->hide();
    ui->tvItems->setAnimated(true);
    ui->tvItems->header()->setStretchLastSection(true);
    ui->tvItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_itemModel = new TvItemModel(this);
    m_liveRoot = m_itemModel->buildStartupTree();
    ui->tvItems->setModel(m_itemModel);
    ui->tvItems->expandAll();

    activateStartupItem();

    ui->tabWidget->setStyleSheet(QStringLiteral("QTabBar::tab{min-width:100px}"));

    for (DMMChart *chart : charts()) {
        chart->setMarginLeft(70);
        chart->setMarginBottom(68);
        chart->setXTitle(tr("Date Time"));
        chart->setDecimals(1);
    }
    setupChartMenu();

    // Pushes Close to the far end of the tool bar.
    auto *spacer = new QWidget(ui->mainToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui->mainToolBar->insertWidget(ui->actionClose, spacer);

    ui->actionItemDownload->setEnabled(false);
    ui->actionSettings->setEnabled(false);
}

void Widget::activateStartupItem()
{
    const QModelIndex measure1 = m_itemModel->index(0, 0, m_itemModel->index(1, 0));
    itemSetToActive(measure1);
    ui->tvItems->setCurrentIndex(measure1);
    slotCurrentRowChanged(measure1, QModelIndex());
}

void Widget::initSelf()
{
    setWindowTitle(
        QStringLiteral("%1 v%2 ").arg(QStringLiteral("HT905+/HT906+"), QStringLiteral("1.0")));
    resize(1000, 600);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize desktop = screen->virtualSize();
        move((desktop.width() - width()) / 2, (desktop.height() - height()) / 2);
    }
}

void Widget::initConnec()
{
    // A plug-in may emit from a worker thread; queued delivery needs the pointer types.
    registerDmmDataMetaTypes();
    registerDmmParamMetaType();

    if (m_dmm) {
        QObject *meter = m_dmm->object();
        connect(meter, SIGNAL(opened()), this, SLOT(slotDmmOpened()));
        connect(meter, SIGNAL(closed()), this, SLOT(slotDmmClosed()));
        connect(meter, SIGNAL(message(QString)), this, SLOT(slotMessage(QString)));
        connect(meter, SIGNAL(display(const DmmData *)), this,
                SLOT(slotDmmDisplay(const DmmData *)));
        connect(meter, SIGNAL(displayStore(const DmmData *)), this,
                SLOT(slotDisplayStore(const DmmData *)));
        connect(meter, SIGNAL(storeNum(int, int)), this, SLOT(slotStoreNum(int, int)));
        connect(meter, SIGNAL(updateStoreCount(int)), this, SLOT(slotUpdateStoreCount(int)));
    }
    if (m_myDmm) {
        QObject *commands = m_myDmm->object();
        connect(commands, SIGNAL(updateParam(DmmParam *)), this, SLOT(slotUpdateParam(DmmParam *)));
        connect(commands, SIGNAL(ResponseResult(int, int)), this,
                SLOT(slotResponseResult(int, int)));
    }
    if (m_serialDevice)
        connect(m_serialDevice->object(), SIGNAL(usbRefreshed()), this, SLOT(slotUSBRefreshed()));

    connect(m_itemModel, &TvItemModel::editDataChanged, this,
            &Widget::slotItemModeleditDataChanged);
    connect(ui->tvItems->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &Widget::slotCurrentRowChanged);

    for (QAction *action :
         {ui->actionConnect, ui->actionDisconnect, ui->actionOption, ui->actionClose})
        connect(action, &QAction::triggered, this, &Widget::slotAction);
}

void Widget::slotAction()
{
    const QAction *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    if (action == ui->actionConnect) {
        // On success the plug-in reports the open link with opened().
        if (m_dmm && !m_dmm->open(m_serialDevice))
            QMessageBox::critical(this, QString(), tr("Failed to open device."), QMessageBox::Ok);
    } else if (action == ui->actionDisconnect) {
        if (m_dmm)
            m_dmm->close();
    } else if (action == ui->actionOption) {
        runOptionsDialog();
    } else if (action == ui->actionClose) {
        close();
    }
}

void Widget::slotDmmOpened()
{
    ui->actionConnect->setEnabled(false);
    ui->actionDisconnect->setEnabled(!ui->actionConnect->isEnabled());
    ui->actionStart->setEnabled(m_activeItem != storeItem());
    ui->actionStop->setEnabled(false);
    ui->actionSyncTime->setEnabled(true);
    ui->actionItemDownload->setEnabled(true);
    ui->actionSettings->setEnabled(true);

    sampleDue = false;
    restartSamplingTimer();
}

void Widget::slotDmmClosed()
{
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    running = false;
    ui->actionStart->setEnabled(false);
    ui->actionStop->setEnabled(false);
    ui->actionSyncTime->setEnabled(false);
    ui->actionItemDownload->setEnabled(false);
    ui->actionSettings->setEnabled(false);
    stopSamplingTimer();
    downloadLinkLost();
    // The parameter record was the plug-in's and valid only while the link was up.
    clearAlarmLimits();
}

void Widget::slotUSBRefreshed()
{
    // Followed whatever the link's state, so Connect may light up while connected.
    ui->actionConnect->setEnabled(
        m_portFinder && !m_portFinder->findPort(adapterVendorId, adapterProductId).isNull());
}

void Widget::restartSamplingTimer()
{
    // An earlier timer (for instance one started by the options command while disconnected)
    // would otherwise keep ticking beside the new one and let readings through twice as often.
    stopSamplingTimer();
    if (m_options.SampleRate != 0)
        m_samplingTimerId = startTimer(m_options.SampleRate, Qt::CoarseTimer);
}

void Widget::stopSamplingTimer()
{
    if (m_samplingTimerId != 0) {
        killTimer(m_samplingTimerId);
        m_samplingTimerId = 0;
    }
}

void Widget::stopMeasurement()
{
    running = false;
    ui->actionStart->setEnabled(m_dmm && m_dmm->isOpen());
    ui->actionStop->setEnabled(false);
}

ItemData *Widget::storeItem() const
{
    return m_itemModel ? TvItemModel::itemDataOf(m_itemModel->index(0, 0)) : nullptr;
}

QList<QAction *> Widget::itemActionsFor(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    if (index.parent().isValid())
        return {ui->actionItemSetToActive, ui->actionItemRename, ui->actionItemNew,
                ui->actionItemDelete};
    if (index.row() == 0)
        return {ui->actionItemSetToActive, ui->actionItemDownload};
    if (index.row() == 1)
        return {ui->actionItemNew};
    return {};
}

void Widget::on_actionTest_triggered() { }

void Widget::on_actionManual_triggered()
{
    // Resolved against the working directory; a missing file or viewer is not reported.
    const QString name = QStringLiteral("Software User Manual.pdf");
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(name).absoluteFilePath()));
}

void Widget::slotMessage(QString) { }

bool Widget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu && watched == ui->tvItems) {
        // The menu follows the tree's current row, not the row under the mouse.
        const QList<QAction *> actions = itemActionsFor(ui->tvItems->currentIndex());
        if (!actions.isEmpty()) {
            auto *menu = new QMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addActions(actions);
            menu->exec(static_cast<QContextMenuEvent *>(event)->globalPos());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Widget::timerEvent(QTimerEvent *event)
{
    sampleDue = true;
    QMainWindow::timerEvent(event);
}

void Widget::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    restoreSettings();
}

void Widget::closeEvent(QCloseEvent *event)
{
    // The link is closed before the options are written.
    if (m_dmm)
        m_dmm->close();
    saveSettings();
    QMainWindow::closeEvent(event);
}
