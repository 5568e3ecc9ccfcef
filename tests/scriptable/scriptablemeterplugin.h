#ifndef SCRIPTABLEMETERPLUGIN_H
#define SCRIPTABLEMETERPLUGIN_H

#include "dmmdata.h"
#include "dmmparam.h"
#include "idmm.h"
#include "imydmm.h"
#include "scriptablemeter.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

#include <QObject>
#include <QTimer>

// The test meter: all four device interfaces, driven by a test through ScriptableMeter.
class ScriptableMeterPlugin : public QObject,
                              public SerialDeviceInf,
                              public SerialRS232VirInf,
                              public IDmm,
                              public IMyDmm,
                              public ScriptableMeter
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ScriptableMeter_iid)
    Q_INTERFACES(SerialDeviceInf SerialRS232VirInf IDmm IMyDmm ScriptableMeter)

public:
    explicit ScriptableMeterPlugin(QObject *parent = nullptr);

    // SerialDeviceInf
    void reservedDevice0() override { }
    void reservedDevice1() override { }
    void reservedDevice2() override { }
    QObject *object() override { return this; }

    // SerialRS232VirInf
    QSerialPortInfo findPort(quint16 vendorId, quint16 productId) override;

    // IDmm
    bool open(SerialDeviceInf *device) override;
    void close() override;
    bool isOpen() override { return m_open; }

    // IMyDmm
    void setDateTime(QDateTime dateTime) override;
    bool requestStoreCount() override;
    bool downloadStore() override;
    void reservedCommand3() override { }
    DmmValue convertValue(const DmmValue &value, int channel, int unit) override;
    DmmValue makeValue(double value, int channel, int unit) override;
    void reservedCommand6() override { }
    bool writeParam(DmmParam *param) override;
    bool readParam() override;

    // ScriptableMeter
    void reset() override;
    QStringList calls() const override { return m_calls; }
    void clearCalls() override { m_calls.clear(); }
    void setCallHook(std::function<void(const QString &)> hook) override;
    void setOpenRefused(bool refused) override { m_openRefused = refused; }
    void setAutoOpened(bool on) override { m_autoOpened = on; }
    bool linkOpen() const override { return m_open; }
    void dropLink() override;
    void setAdapterPresent(bool present) override { m_adapterPresent = present; }
    void setAnswerReadParam(bool on) override { m_answerReadParam = on; }
    void setAnswerWriteParam(bool on) override { m_answerWriteParam = on; }
    void setAnswerStoreCount(bool on) override { m_answerStoreCount = on; }
    void setAnswerDownload(bool on) override { m_answerDownload = on; }
    void setStoredRecordCount(int count) override { m_storedRecords = count; }
    int storedRecordCount() const override { return m_storedRecords; }
    void setTextsAsSent(bool on) override { m_textsAsSent = on; }
    DmmParam *param() override { return &m_param; }
    DmmParam lastWrittenParam() const override { return m_lastWritten; }
    void emitOpened() override { emit opened(); }
    void emitClosed() override { emit closed(); }
    void emitMessage(const QString &text) override { emit message(text); }
    void emitDisplay(double temperature, double humidity, double dewPoint, double wetBulb,
                     const QDateTime &time) override;
    void emitDisplayValues(const QList<DmmValue> &values) override;
    void emitDisplayFromThread(double temperature, double humidity, double dewPoint,
                               double wetBulb) override;
    void emitDisplayStore(int storeIndex, const QDateTime &storeTime, double temperature,
                          double humidity, double dewPoint, double wetBulb) override;
    void emitStoreNum(int total, int current) override { emit storeNum(total, current); }
    void emitUpdateStoreCount(int count) override { emit updateStoreCount(count); }
    void emitUpdateParam() override { emit updateParam(&m_param); }
    void emitResponseResult(int a, int b) override { emit ResponseResult(a, b); }
    void emitUsbRefreshed() override { emit usbRefreshed(); }

signals:
    void opened();
    void closed();
    void message(QString text);
    void display(const DmmData *data);
    void displayStore(const DmmData *data);
    void storeNum(int total, int current);
    void updateStoreCount(int count);
    void updateParam(DmmParam *param);
    void ResponseResult(int a, int b);
    void usbRefreshed();

private:
    void record(const QString &call);
    void sendNextStoredRecord();
    static DmmParam defaultParam();
    static DmmData *makeReading(double temperature, double humidity, double dewPoint,
                                double wetBulb);

    QStringList m_calls;
    std::function<void(const QString &)> m_hook;
    bool m_open = false;
    bool m_openRefused = false;
    bool m_autoOpened = true;
    bool m_adapterPresent = true;
    bool m_answerReadParam = true;
    bool m_answerWriteParam = true;
    bool m_answerStoreCount = true;
    bool m_answerDownload = true;
    bool m_textsAsSent = false;
    int m_storedRecords = 0;
    int m_nextStoredRecord = 0; // 1-based; 0 when no download runs
    QTimer m_downloadTimer;
    DmmParam m_param;
    DmmParam m_lastWritten;
};

#endif // SCRIPTABLEMETERPLUGIN_H
