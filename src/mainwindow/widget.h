#ifndef WIDGET_H
#define WIDGET_H

#include "dmmdata.h"
#include "itemdata.h"
#include "meteroptions.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QVector>

#include <array>

class DMMChart;
class DataModel;
class ItemSeries;
class DlgSettings;
class DmmData;
class IDmm;
class IMyDmm;
class QAction;
class QStandardItem;
class QTimer;
class SerialDeviceInf;
class SerialRS232VirInf;
class TvItemModel;
struct DmmParam;

namespace Ui {
class Widget;
}

// The application's only top-level window. Its members are implemented in one source file
// per concern: widget.cpp (the shell), livemeasurement.cpp, itemcommands.cpp,
// storeddownload.cpp, itemviews.cpp, devicesettings.cpp, windowsettings.cpp,
// exportcommands.cpp and chartcommands.cpp.
class Widget : public QMainWindow
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    IMyDmm *myDmm() const { return m_myDmm; }
    int unitIndex() const { return m_unitIndex; }
    QString unitText() const { return m_unitText; }

    // Plain read access to the window's state, for the other concerns and for tests.
    IDmm *dmm() const { return m_dmm; }
    bool isRunning() const { return running; }
    bool isSampleDue() const { return sampleDue; }
    int samplingTimerId() const { return m_samplingTimerId; }
    ItemData *activeItem() const { return m_activeItem; }
    const MeterOptions &options() const { return m_options; }
    DataModel *dataModel() const { return m_dataModel; }
    TvItemModel *itemModel() const { return m_itemModel; }
    QStandardItem *liveRoot() const { return m_liveRoot; }
    // Replaces the options without touching a running sampling timer; the timer follows them
    // from the next opened() on (tests and benchmarks).
    void setOptions(const MeterOptions &options) { m_options = options; }

signals:
    void updateDowndPos(int, int total);

public slots:
    void initObj();
    bool loadPlugins();
    void initConnec();
    void initWidget();
    void initSelf();
    void saveSettings();
    void restoreSettings();
    void newItem(QString name, ItemData::DataType type);
    void slotAction();
    void slotDmmOpened();
    void slotDmmClosed();
    void slotUSBRefreshed();
    void on_actionTest_triggered();
    void on_actionManual_triggered();
    void on_actionItemNew_triggered();
    void on_actionItemDelete_triggered();
    void on_actionItemRename_triggered();
    void on_actionItemSetToActive_triggered();
    void on_actionItemDownload_triggered();
    void on_actionStart_triggered();
    void on_actionStop_triggered();
    void on_actionExport_triggered();
    void on_actionImport_triggered();
    void on_actionSyncTime_triggered();
    void slotMessage(QString);
    void itemSetToActive(QModelIndex index);
    void on_tvItems_activated(QModelIndex);
    void slotItemModeleditDataChanged(QModelIndex);
    void slotCurrentRowChanged(QModelIndex current, QModelIndex previous);
    void slotDmmDisplay(const DmmData *data);
    void slotStoreNum(int, int);
    void slotDisplayStore(const DmmData *data);
    void slotUpdateStoreCount(int);
    void slotDownLoadProgressFinished();
    void slotDownloadProgressCanceled();
    void slotUpdateParam(DmmParam *param);
    void slotWriteDmmParam(DmmParam *);
    void updateDatetime(QDateTime time);
    void slotResponseResult(int, int);
    void slotSingleShot();
    void on_actionSettings_triggered();

public:
    // The four charts, in channel order.
    std::array<DMMChart *, Channel::Count> charts() const;

    // Shared operations of the item views (itemviews.cpp).
    void updateItemStatistic(ItemData *item, const DmmData *data);
    void updateStatisticTable();
    void refreshItemViews();

    // A short wait that keeps the window alive (exportcommands.cpp).
    void waitMs(int ms);
    void exportToExcel();
    void exportPdf();
    void importFromExcel();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Stops a sampling timer that runs and starts one with the period SampleRate (none when
    // it is 0), so that exactly one timer feeds sampleDue.
    void restartSamplingTimer();
    void stopSamplingTimer();
    // Ends a running measurement; Start is offered again while the meter is connected.
    void stopMeasurement();
    // The item of the "Store Data" row (top-level row 0).
    ItemData *storeItem() const;
    // The item commands offered for a row of the tree, in menu order.
    QList<QAction *> itemActionsFor(const QModelIndex &index) const;
    // Start-up: Measure1 becomes the active item and the tree's current row.
    void activateStartupItem();
    // The options command (windowsettings.cpp).
    void runOptionsDialog();
    // The statistics grid's fixed cells (itemviews.cpp).
    void setupStatisticTable();
    // Sizes the grid, and its pane, for the widest figures it can show (itemviews.cpp).
    void fitStatisticTable();
    // The four values of a reading as shown in the current unit (livemeasurement.cpp).
    QVector<DmmValue> convertReading(const DmmData *reading) const;
    // Hands a kept reading to the active item and appends it to the statistics, the table and
    // the charts, plotted at plotTime (livemeasurement.cpp; the download uses it too). The
    // charts plot the reading's own values in the window's unit; the converted values are
    // the read-outs' and not needed here.
    void recordReading(DmmData *reading, const QVector<DmmValue> &shown, const QDateTime &plotTime);
    // Appends to the reading table the active item's readings it does not show yet, and
    // scrolls to the bottom; recordReading gathers readings that come close together
    // (livemeasurement.cpp).
    void syncReadingTable();
    // The charts show the series of `item` (none: empty charts), kept from its last showing
    // and brought up to date (itemviews.cpp). The series shown before go back to their item.
    void showItemSeries(ItemData *item);
    // Brings the shown series up to the active item's readings, without clearing the charts
    // first (itemviews.cpp).
    void catchUpItemSeries();
    // Readings may come faster than a screen refreshes: the statistics grid keeps its texts
    // current but is redrawn at most every DMMChart::RebuildIntervalMs (itemviews.cpp).
    void holdGridRepaint();
    // Ends the download under way with the completion message, or with a warning naming how
    // many of the announced records arrived (storeddownload.cpp).
    void finishDownload();
    // The link closed while records were still to come (storeddownload.cpp).
    void downloadLinkLost();

    Ui::Widget *ui = nullptr;

    IDmm *m_dmm = nullptr;
    IMyDmm *m_myDmm = nullptr;
    SerialDeviceInf *m_serialDevice = nullptr;
    SerialRS232VirInf *m_portFinder = nullptr;

    ItemData *m_activeItem = nullptr;
    bool running = false;
    DataModel *m_dataModel = nullptr;
    // The item series the charts show; gone with its item.
    QPointer<ItemSeries> m_shownSeries;
    TvItemModel *m_itemModel = nullptr;
    QStandardItem *m_liveRoot = nullptr;

    MeterOptions m_options;
    int m_samplingTimerId = 0;
    bool sampleDue = false;

    // The charts' context menu (chartcommands.cpp).
    void setupChartMenu();
    // The meter's alarm limits on the charts and in the table, from its parameter record in
    // the unit shown; cleared when the link closes and the record is no longer valid
    // (chartcommands.cpp).
    void showAlarmLimits(const DmmParam &param);
    void clearAlarmLimits();

    // "Fit value axis to data", shared by the four charts; kept for the session only.
    QAction *m_fitValueAxis = nullptr;

    // The download's dialog; it deletes itself when closed, which clears this pointer.
    QPointer<QProgressDialog> progressDialog;
    // The download under way: what the meter announced and what has arrived. The meter may
    // report the last record before it has come; the window then waits for it a little.
    struct StoreDownload
    {
        bool running = false;
        int announced = 0;
        int received = 0;
        bool allReported = false; // the meter's progress reached its total
    };
    StoreDownload m_download;
    QTimer *m_downloadGrace = nullptr; // started once the meter reported the last record
    DlgSettings *m_settingsDialog = nullptr;

    // Celsius until the meter's parameter record says otherwise, and shown as such.
    int m_unitIndex = 0;
    QString m_unitText = QStringLiteral("℃");

    // Every live reading counts, recorded or not; every third one asks for the parameters.
    qint64 m_readingCount = 0;
    // When the statistics grid was last let to repaint.
    QElapsedTimer m_gridRepainted;
    // When the reading table last took new rows, and whether a later turn will add more.
    QElapsedTimer m_tableSynced;
    bool m_tableSyncQueued = false;
    // Set by the destructor: readings still queued from a plug-in thread are delivered then,
    // and only deleted.
    bool m_closing = false;

    // options.xml is applied once, at the first show: a later show (after a minimise) must not
    // undo options changed in the dialog since, nor move the window back (windowsettings.cpp).
    bool m_settingsRestored = false;
};

#endif // WIDGET_H
