#ifndef WIDGET_H
#define WIDGET_H

#include "itemdata.h"

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QRect>
#include <QString>

class DataModel;
class DlgSettings;
class DmmData;
class IDmm;
class IMyDmm;
class QProgressDialog;
class QStandardItem;
class SerialDeviceInf;
class SerialRS232VirInf;
class TvItemModel;
struct DmmParam;

namespace Ui {
class Widget;
}

// The application's only top-level window. Its members are implemented in one source file
// per concern: widget.cpp (the shell), livemeasurement.cpp, itemcommands.cpp,
// storeddownload.cpp, itemviews.cpp, devicesettings.cpp, and the export glue in export/.
class Widget : public QMainWindow
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    // Read by the reading table model.
    IMyDmm *myDmm() const { return m_myDmm; }
    int unitIndex() const { return m_unitIndex; }
    QString unitText() const { return m_unitText; }

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
    // Shared operations of the item views (itemviews.cpp).
    void updateItemStatistic(ItemData *item, const DmmData *data);
    void updateStatisticTable();
    void refreshItemViews();

    // A short wait that keeps the window alive (export glue).
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
    Ui::Widget *ui = nullptr;

    IDmm *m_dmm = nullptr;
    IMyDmm *m_myDmm = nullptr;
    SerialDeviceInf *m_serialDevice = nullptr;
    SerialRS232VirInf *m_portFinder = nullptr;

    int m_unitIndex = 0;
    QString m_unitText;
};

#endif // WIDGET_H
