#ifndef DMMPARAM_H
#define DMMPARAM_H

#include <QMetaType>
#include <QtGlobal>
#include <cstddef>

// The meter's settable parameters, exchanged with the device plug-in by pointer. The byte
// layout is shared with separately built plug-ins: 24 bytes, packed, little-endian.
//
// Temperature-like fields (limits and offsets of temperature, dew point and wet bulb) are in
// tenths of a degree Celsius whatever `unit` says; humidity fields are in tenths of %RH and
// are never converted. The record belongs to the plug-in: the application never creates,
// copies or frees one.
#pragma pack(push, 1)
struct DmmParam
{
    quint8 unit; // 0 Celsius, 1 Fahrenheit; any other value is shown as Celsius
    quint16 storageInterval; // seconds
    qint16 highTemp;
    qint16 highHumi;
    qint16 highDP;
    qint16 highWB;
    qint16 lowTemp;
    qint16 lowHumi;
    qint16 lowDP;
    qint16 lowWB;
    qint8 offsetTemp;
    qint8 offsetHumi;
    qint8 offsetDP;
    qint8 offsetWB;
    qint8 autoPower; // minutes; 0 = auto power-off disabled
};
#pragma pack(pop)

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "DmmParam is shared as little-endian bytes");
static_assert(sizeof(DmmParam) == 24, "DmmParam must be 24 bytes");
static_assert(offsetof(DmmParam, unit) == 0, "DmmParam layout");
static_assert(offsetof(DmmParam, storageInterval) == 1, "DmmParam layout");
static_assert(offsetof(DmmParam, highTemp) == 3, "DmmParam layout");
static_assert(offsetof(DmmParam, highHumi) == 5, "DmmParam layout");
static_assert(offsetof(DmmParam, highDP) == 7, "DmmParam layout");
static_assert(offsetof(DmmParam, highWB) == 9, "DmmParam layout");
static_assert(offsetof(DmmParam, lowTemp) == 11, "DmmParam layout");
static_assert(offsetof(DmmParam, lowHumi) == 13, "DmmParam layout");
static_assert(offsetof(DmmParam, lowDP) == 15, "DmmParam layout");
static_assert(offsetof(DmmParam, lowWB) == 17, "DmmParam layout");
static_assert(offsetof(DmmParam, offsetTemp) == 19, "DmmParam layout");
static_assert(offsetof(DmmParam, offsetHumi) == 20, "DmmParam layout");
static_assert(offsetof(DmmParam, offsetDP) == 21, "DmmParam layout");
static_assert(offsetof(DmmParam, offsetWB) == 22, "DmmParam layout");
static_assert(offsetof(DmmParam, autoPower) == 23, "DmmParam layout");

Q_DECLARE_METATYPE(DmmParam *)

// Registers "DmmParam*" for queued delivery of updateParam(DmmParam *).
inline void registerDmmParamMetaType()
{
    qRegisterMetaType<DmmParam *>("DmmParam*");
}

#endif // DMMPARAM_H
