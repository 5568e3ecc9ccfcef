// The measurement store's opening on a file of arbitrary bytes, as the application does it at
// start: open (the schema check and the set-up of the connection), read the items, count the
// readings of a session that did not end normally, mark the new session, then read every
// item's readings. Each step may refuse the file; none may crash, leak, hang or run on memory.
#include "dmmdata.h"
#include "measurementdatabase.h"
#include "storecontents.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

QTemporaryDir *folder = nullptr;

// Items of a file this small cannot hold more readings than this; a reader that hands out
// more made them up.
constexpr int mostReadings = 1 << 20;

void removeStore(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\nmeter=false\nmeter.*=false"));
    new QCoreApplication(*argc, *argv); // lives as long as the process; finds the SQL driver
    // In memory where the system offers it: the harness writes a file for every input.
    const QString shm = QStringLiteral("/dev/shm");
    folder = QFileInfo(shm).isWritable() ? new QTemporaryDir(shm + QStringLiteral("/fuzz-XXXXXX"))
                                         : new QTemporaryDir;
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = folder->filePath(QStringLiteral("measurements.db"));
    removeStore(path);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            __builtin_trap(); // the harness's own folder must take it
    }

    MeasurementDatabase store(QStringLiteral("fuzz"));
    StoreContents contents;
    if (store.open(path) && store.readContents(&contents)) {
        if (!contents.endedCleanly)
            store.readingCount();
        store.setEndedCleanly(false);
        for (const StoredItem &item : qAsConst(contents.items)) {
            int count = 0;
            store.readReadings(item.id, [&count](DmmData *reading) {
                ++count;
                delete reading;
            });
            if (count > mostReadings)
                __builtin_trap();
        }
    }
    store.close();
    removeStore(path);
    return 0;
}
