// Every file the exports write, written where the write fails part-way: a full disk, a full
// temporary folder, a folder that takes no new files. The user is told of the failure (never
// of a success), a good file already at the destination stays as it was, and nothing is left
// beside it. Small file systems need root: the suite then runs in a mount namespace of its
// own, so that its mounts go with it; without root those cases are skipped.
#include "exportanswers.h"
#include "modalwatcher.h"
#include "readings.h"
#include "windowfixture.h"

#include "chartpicturenames.h"
#include "sheetexport.h"
#include "sheetimport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {

bool g_ownMounts = false;
const int readingCount = 3000;

// A small file system on a folder, gone when this is.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, int kib)
        : m_folder(folder)
    {
#ifdef Q_OS_LINUX
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0777";
        m_mounted = g_ownMounts
            && ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                       options.constData())
                == 0;
        m_options = options;
#else
        Q_UNUSED(kib)
#endif
    }
    ~SmallDisk()
    {
#ifdef Q_OS_LINUX
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
#endif
    }
    Q_DISABLE_COPY(SmallDisk)

    bool isMounted() const
    {
        return m_mounted;
    }
    bool makeReadOnly()
    {
#ifdef Q_OS_LINUX
        return m_mounted
            && ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs",
                       MS_REMOUNT | MS_RDONLY, m_options.constData())
            == 0;
#else
        return false;
#endif
    }
    // Takes up the space until about `leave` bytes are free.
    bool fill(qint64 leave)
    {
        QFile filler(m_folder + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (QStorageInfo(m_folder).bytesAvailable() > leave) {
            if (filler.write(block) != block.size() || !filler.flush())
                break;
        }
        filler.close();
        QStorageInfo storage(m_folder);
        storage.refresh();
        return storage.bytesAvailable() <= leave;
    }

private:
    QString m_folder;
    QByteArray m_options;
    bool m_mounted = false;
};

enum class Fault { FullDisk, FullTemporaryFolder, ReadOnlyFolder };

} // namespace

Q_DECLARE_METATYPE(Fault)

namespace {

QByteArray contentOf(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Whether a file the export wrote holds every reading.
bool isComplete(const QString &fileName, const QString &kind, QString *why)
{
    if (kind == QLatin1String("jpg")) {
        QImageReader reader(fileName);
        const QImage image = reader.read();
        *why = reader.errorString();
        return !image.isNull();
    }
    if (kind == QLatin1String("pdf")) {
        const QByteArray bytes = contentOf(fileName);
        *why = QStringLiteral("no trailer");
        return bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF");
    }
    const SheetImport::Result back = SheetImport::importFile(fileName);
    *why = QStringLiteral("%1 readings, error %2").arg(back.readings.size()).arg(back.error);
    return back.error == WorkbookReader::NoError && back.readings.size() == readingCount;
}

} // namespace

class TestWriteFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exportUnderFault_data();
    void exportUnderFault();
};

void TestWriteFaults::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
    if (!g_ownMounts)
        qInfo("not root, or no mount namespace: the cases with small file systems are skipped");
}

void TestWriteFaults::exportUnderFault_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Fault>("fault");
    for (const char *kind : {"xls", "xlsx", "csv", "pdf", "jpg"}) {
        QTest::addRow("%s, full disk", kind) << QString(kind) << Fault::FullDisk;
        QTest::addRow("%s, full temporary folder", kind)
            << QString(kind) << Fault::FullTemporaryFolder;
        QTest::addRow("%s, read-only folder", kind) << QString(kind) << Fault::ReadOnlyFolder;
    }
}

void TestWriteFaults::exportUnderFault()
{
    QFETCH(QString, kind);
    QFETCH(Fault, fault);
    if (fault != Fault::ReadOnlyFolder && !g_ownMounts)
        QSKIP("needs root for a small file system");

    // Outside the temporary folder, which a case may fill.
    QTemporaryDir base(qEnvironmentVariable("METER_BUILD_DIR") + QStringLiteral("/faults-XXXXXX"));
    QVERIFY(base.isValid());
    const QString folder = base.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(folder));
    std::unique_ptr<SmallDisk> disk;
    if (fault != Fault::FullTemporaryFolder) {
        disk = std::make_unique<SmallDisk>(folder, 256);
        QVERIFY(disk->isMounted() || !g_ownMounts);
    }

    // The good files from before: the chosen name, or the four picture names.
    const bool pictures = kind == QLatin1String("jpg");
    const QString chosen = folder + QStringLiteral("/run.") + kind;
    const QStringList targets = pictures ? ChartPictureNames(chosen).paths() : QStringList {chosen};
    QHash<QString, QByteArray> before;
    for (const QString &target : targets) {
        QFile good(target);
        QVERIFY(good.open(QIODevice::WriteOnly));
        before.insert(target, "a good file, written before: " + target.toUtf8());
        good.write(before.value(target));
    }

    std::unique_ptr<SmallDisk> fullTemporary;
    std::unique_ptr<SmallDisk> fullTmp;
    const QByteArray oldTemporary = qgetenv("TMPDIR");
    switch (fault) {
    case Fault::FullDisk:
        QVERIFY(disk->fill(8 * 1024));
        break;
    case Fault::FullTemporaryFolder: {
        // The folder TMPDIR names, and /tmp itself (some libraries ignore TMPDIR), both full.
        const QString temporary = base.filePath(QStringLiteral("temporary"));
        QVERIFY(QDir().mkpath(temporary));
        fullTemporary = std::make_unique<SmallDisk>(temporary, 64);
        fullTmp = std::make_unique<SmallDisk>(QStringLiteral("/tmp"), 64);
        QVERIFY(fullTemporary->isMounted() && fullTmp->isMounted());
        QVERIFY(fullTemporary->fill(0) && fullTmp->fill(0));
        qputenv("TMPDIR", QFile::encodeName(temporary));
        break;
    }
    case Fault::ReadOnlyFolder:
        if (disk->isMounted()) {
            QVERIFY(disk->makeReadOnly());
        } else {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            if (QFileInfo(folder).isWritable()) {
                QFile::setPermissions(folder,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                QSKIP("permissions do not bind this user");
            }
        }
        break;
    }

    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), readingCount);
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    expectExportDialog(modals,
                       pictures                           ? ExportChoice::Chart
                           : kind == QLatin1String("pdf") ? ExportChoice::Pdf
                                                          : ExportChoice::Table);
    modals.expectFile(chosen);
    if (!pictures)
        modals.expectMessageBox(QMessageBox::Yes); // replace the file that is there
    const bool fails = fault != Fault::FullTemporaryFolder;
    if (fails || !pictures)
        modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionExport")->trigger();
    const bool answered = modals.verify();
    window.reset();
    qputenv("TMPDIR", oldTemporary);
    if (fault == Fault::ReadOnlyFolder && !disk->isMounted())
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(answered);

    const QString told = modals.last().text;
    qInfo() << "TOLD" << told;
    if (fails) {
        QString failure;
        if (pictures)
            failure = ChartPictureNames::failureMessage(targets);
        else if (kind == QLatin1String("pdf"))
            failure = QStringLiteral("The report could not be written.\n");
        else
            failure = SheetExport::resultMessage(SheetExport::WriteFailed);
        QVERIFY2(told.startsWith(failure), qPrintable(told));
        QCOMPARE(modals.last().icon,
                 pictures || kind == QLatin1String("pdf") ? QMessageBox::Warning
                                                          : QMessageBox::Information);
        for (const QString &target : targets)
            QCOMPARE(contentOf(target), before.value(target));
        // Nothing half-written left beside the files.
        QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        left.removeAll(QStringLiteral("filler"));
        QStringList names;
        for (const QString &target : targets)
            names << QFileInfo(target).fileName();
        left.sort();
        names.sort();
        QCOMPARE(left, names);
    } else {
        // The temporary folder plays no part: the files are written, and whole.
        if (!pictures)
            QVERIFY2(!told.contains(QLatin1String("fail")), qPrintable(told));
        for (const QString &target : targets) {
            QString why;
            QVERIFY2(isComplete(target, kind, &why), qPrintable(target + ": " + why));
        }
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

int main(int argc, char **argv)
{
#ifdef Q_OS_LINUX
    // Before any thread exists: a mount namespace of the process's own, whose mounts nobody
    // else sees and which end with it.
    g_ownMounts = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0
        && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
#endif
    QApplication app(argc, argv);
    TestWriteFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_writefaults.moc"
