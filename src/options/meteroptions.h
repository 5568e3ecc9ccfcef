#ifndef METEROPTIONS_H
#define METEROPTIONS_H

#include <QString>

// The user options the main window holds, with their values before any options file is read.
struct MeterOptions
{
    QString Language = QStringLiteral("Default"); // "zh-CN", "en-US" or "Default"
    int SamplePoints = 1000; // limit on recorded readings when Infinite is off
    bool Infinite = true; // no limit on recorded readings
    int SampleRate = 500; // sampling period in milliseconds; 0 runs no sampling timer
    bool SkipRepeat = false; // stored and carried through, consulted nowhere
};

#endif // METEROPTIONS_H
