// The options file and the window layout blobs it carries, on arbitrary bytes. The first byte
// chooses what the rest is: the whole file, or one blob on its own (so that the blob checks
// are reached without the hexadecimal detour). Whatever the checks let through is handed to a
// window shaped like the main window, exactly as the window does at start: the toolkit must
// take it without a crash, a run on memory or a long stall.
#include "layoutblobs.h"
#include "optionsfile.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>

#include <cstddef>
#include <cstdint>

namespace {

// The main window's layout: a tool bar of its own, a tool bar inside the central widget (not
// part of the window's state), a vertical splitter holding a horizontal one and a table.
class Form
{
public:
    Form()
    {
        auto *mainBar = new QToolBar(&window);
        mainBar->setObjectName(QStringLiteral("mainToolBar"));
        window.addToolBar(Qt::TopToolBarArea, mainBar);
        outer = new QSplitter(Qt::Vertical);
        inner = new QSplitter(Qt::Horizontal, outer);
        auto *left = new QWidget(inner);
        auto *itemBar = new QToolBar(left);
        itemBar->setObjectName(QStringLiteral("itemToolBar"));
        new QWidget(inner);
        new QTableView(outer);
        window.setCentralWidget(outer);
        window.resize(800, 600);
    }

    QStringList toolBarNames() const
    {
        QStringList names;
        for (const QToolBar *bar :
             window.findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly))
            names << bar->objectName();
        return names;
    }

    void geometry(const QByteArray &blob)
    {
        if (LayoutBlobs::geometryFits(blob))
            window.restoreGeometry(blob);
    }
    void state(const QByteArray &blob)
    {
        if (LayoutBlobs::windowStateFits(blob, 0, toolBarNames()))
            window.restoreState(blob, 0);
    }
    static void splitter(QSplitter *splitter, const QByteArray &blob)
    {
        if (LayoutBlobs::splitterStateFits(blob, splitter->count(), splitter->orientation()))
            splitter->restoreState(blob);
    }

    QMainWindow window;
    QSplitter *outer = nullptr;
    QSplitter *inner = nullptr;
};

QTemporaryDir *folder = nullptr;
Form *form = nullptr;

void readFile(const QByteArray &bytes)
{
    const QString path = folder->filePath(QStringLiteral("options.xml"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(bytes) != bytes.size())
            __builtin_trap(); // the harness's own folder must take it
    }
    const OptionsFound found = OptionsFile::read(path);
    MeterOptions options;
    found.applyTo(options);
    // What the reader hands on is always usable.
    if (options.SampleRate < 0 || options.SamplePoints < 0
        || !OptionsFile::isLanguageCode(options.Language))
        __builtin_trap();
    const QString language = OptionsFile::readLanguage(path);
    if (!language.isEmpty() && !OptionsFile::isLanguageCode(language))
        __builtin_trap();

    if (found.geometry)
        form->geometry(*found.geometry);
    if (found.state)
        form->state(*found.state);
    if (found.splitterState)
        Form::splitter(form->inner, *found.splitterState);
    if (found.splitter2State)
        Form::splitter(form->outer, *found.splitter2State);
}

} // namespace

// The font library keeps caches for the life of the process, made when the application object
// starts; they are not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(
        QStringLiteral("*.debug=false\nqt.*=false\nmeter=false\nmeter.*=false"));
    new QApplication(*argc, *argv); // lives as long as the process
    // In memory where the system offers it: the harness writes a file for every input.
    const QString shm = QStringLiteral("/dev/shm");
    folder = QFileInfo(shm).isWritable() ? new QTemporaryDir(shm + QStringLiteral("/fuzz-XXXXXX"))
                                         : new QTemporaryDir;
    form = new Form;
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data) + 1, int(size - 1));
    switch (data[0] % 5) {
    case 0:
        form->geometry(rest);
        break;
    case 1:
        form->state(rest);
        break;
    case 2:
        Form::splitter(form->inner, rest);
        break;
    case 3:
        Form::splitter(form->outer, rest);
        break;
    default:
        readFile(rest);
        break;
    }
    return 0;
}
