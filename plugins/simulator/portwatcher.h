#ifndef PORTWATCHER_H
#define PORTWATCHER_H

#include <QObject>
#include <QSerialPortInfo>
#include <QString>

class QTimer;

// Finds the port that stands for the meter's USB adapter and watches the system's list of
// serial ports for a change of that answer.
class PortWatcher : public QObject
{
    Q_OBJECT
public:
    PortWatcher(quint16 vendorId, quint16 productId, int periodMs, QObject *parent = nullptr);

    // A real adapter with these ids when one is attached, otherwise the first port the system
    // lists, standing in for the simulated adapter; null when the system lists none.
    // METER_SIM_PORT may name the listed port to use instead, "none" for no adapter, or
    // "virtual" for a described adapter that needs no port at all. Safe from any thread.
    static QSerialPortInfo find(quint16 vendorId, quint16 productId);

    void start();

signals:
    // The answer of find() for the watched ids is no longer the same port.
    void changed();

private:
    void poll();

    quint16 m_vendorId;
    quint16 m_productId;
    QTimer *m_timer;
    QString m_current;
};

#endif // PORTWATCHER_H
