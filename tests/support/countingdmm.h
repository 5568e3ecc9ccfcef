#ifndef COUNTINGDMM_H
#define COUNTINGDMM_H

#include "imydmm.h"

#include <QString>

// Converts like a meter: Fahrenheit for every channel but humidity, one decimal; counts the
// conversions it was asked for.
class CountingDmm : public IMyDmm
{
public:
    void setDateTime(QDateTime) override { }
    bool requestStoreCount() override { return true; }
    bool downloadStore() override { return true; }
    void reservedCommand3() override { }
    DmmValue convertValue(const DmmValue &value, int channel, int unit) override
    {
        ++calls;
        DmmValue out = value;
        if (unit == 1 && channel != 1)
            out.value = value.value * 1.8 + 32;
        out.text = QString::number(out.value, 'f', 1);
        return out;
    }
    DmmValue makeValue(double value, int, int) override { return {3, value, QString()}; }
    void reservedCommand6() override { }
    bool writeParam(DmmParam *) override { return true; }
    bool readParam() override { return true; }
    QObject *object() override { return nullptr; }

    int calls = 0;
};

#endif // COUNTINGDMM_H
