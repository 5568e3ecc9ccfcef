#include "modalwatcher.h"
#include "timerspy.h"
#include "windowfixture.h"

#include "dlgoption.h"
#include "optionsfile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QShowEvent>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QXmlStreamReader>
#include <limits>

namespace {

const QStringList childNames {"Geometry",       "State",      "SplitterState",
                              "Splitter2State", "Language",   "SamplePoints",
                              "Infinite",       "SampleRate", "SkipRepeat"};

// The parts of the layout a user sees, to compare two windows.
struct Layout
{
    QRect geometry;
    QList<int> sizes;
    QList<int> sizes2;
    Qt::Orientation orientation = Qt::Horizontal;
    Qt::Orientation orientation2 = Qt::Horizontal;
    int handleWidth = 0;
    QByteArray state;

    static Layout of(const Widget *window)
    {
        Layout l;
        l.geometry = window->geometry();
        l.sizes = child<QSplitter>(window, "splitter")->sizes();
        l.sizes2 = child<QSplitter>(window, "splitter_2")->sizes();
        l.orientation = child<QSplitter>(window, "splitter")->orientation();
        l.orientation2 = child<QSplitter>(window, "splitter_2")->orientation();
        l.handleWidth = child<QSplitter>(window, "splitter")->handleWidth();
        l.state = window->saveState(0);
        return l;
    }
    bool operator==(const Layout &o) const
    {
        return geometry == o.geometry && sizes == o.sizes && sizes2 == o.sizes2
            && orientation == o.orientation && orientation2 == o.orientation2
            && handleWidth == o.handleWidth && state == o.state;
    }
};

QByteArray optionsDocument(const QList<QPair<QString, QString>> &children)
{
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<options>\n";
    for (const auto &child : children)
        doc += QStringLiteral("    <%1>%2</%1>\n").arg(child.first, child.second).toUtf8();
    return doc + "</options>\n";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void removeOptions()
{
    const QString path = testOptionsFilePath();
    const QFileInfo info(path);
    if (info.isDir())
        QDir(path).removeRecursively();
    else if (info.exists()) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(path);
    }
}

void typeInto(QSpinBox *spin, int value)
{
    spin->selectAll();
    QTest::keyClicks(spin, QString::number(value));
}

// Works the dialog's controls as a user would and presses `button`.
void editDialog(QDialog *dialog, const MeterOptions &wanted,
                QDialogButtonBox::StandardButton button)
{
    auto *language = child<QComboBox>(dialog, "cbbLanguage");
    language->setCurrentIndex(language->findData(wanted.Language));
    typeInto(child<QSpinBox>(dialog, "spinSampleRate"), wanted.SampleRate);
    auto *infinite = child<QCheckBox>(dialog, "cbInfinite");
    if (infinite->isChecked() != wanted.Infinite)
        QTest::mouseClick(infinite, Qt::LeftButton, {}, QPoint(5, infinite->height() / 2));
    typeInto(child<QSpinBox>(dialog, "spinSamplePoints"), wanted.SamplePoints);
    child<QCheckBox>(dialog, "cbSkipRepeat")->setChecked(wanted.SkipRepeat);
    QTest::mouseClick(child<QDialogButtonBox>(dialog, "buttonBox")->button(button), Qt::LeftButton);
}

bool sameOptions(const MeterOptions &a, const MeterOptions &b)
{
    return a.Language == b.Language && a.SamplePoints == b.SamplePoints && a.Infinite == b.Infinite
        && a.SampleRate == b.SampleRate && a.SkipRepeat == b.SkipRepeat;
}

QString describe(const MeterOptions &o)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(o.Language)
        .arg(o.SamplePoints)
        .arg(o.Infinite)
        .arg(o.SampleRate)
        .arg(o.SkipRepeat);
}

} // namespace

class TestWindowSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void firstStartWritesDefaultsAndLayout();
    void layoutAndOptionsSurviveARestart();
    void fileWithOnlySampleRate();
    void rejectedBlobsKeepTheLayout_data();
    void rejectedBlobsKeepTheLayout();
    void unwritableFileAtClose_data();
    void unwritableFileAtClose();
    void laterShowsKeepChanges_data();
    void laterShowsKeepChanges();
    void optionsCommand_data();
    void optionsCommand();

private:
    ScriptableMeter *meter = nullptr;
    QByteArray savedFile; // the folder's options.xml before the tests, put back at the end
    bool hadFile = false;
};

void TestWindowSettings::initTestCase()
{
    meter = scriptableMeter();
    QVERIFY2(meter, "the scriptable test meter is missing from Lib/");
    QFile file(testOptionsFilePath());
    hadFile = file.open(QIODevice::ReadOnly);
    if (hadFile)
        savedFile = file.readAll();
}

void TestWindowSettings::init()
{
    removeOptions();
}

void TestWindowSettings::cleanup()
{
    removeOptions();
}

void TestWindowSettings::cleanupTestCase()
{
    removeOptions();
    if (hadFile)
        writeFile(testOptionsFilePath(), savedFile);
}

// A first start finds no file, runs on the defaults and leaves behind a file with all nine
// values in their order: the blobs in lowercase hexadecimal, as the window and splitters give
// them.
void TestWindowSettings::firstStartWritesDefaultsAndLayout()
{
    auto window = makeTestWindow({}, true);
    QVERIFY(sameOptions(window->options(), MeterOptions()));
    QVERIFY(window->close());

    QFile file(testOptionsFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(
        bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<options>\n    <Geometry>"));

    QStringList names;
    QStringList texts;
    QXmlStreamReader xml(bytes);
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name().toString(), QStringLiteral("options"));
    while (xml.readNextStartElement()) {
        names << xml.name().toString();
        texts << xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(names, childNames);
    QCOMPARE(texts.mid(4), (QStringList {"Default", "1000", "1", "500", "0"}));

    const QRegularExpression lowerHex(QStringLiteral("^([0-9a-f]{2})+$"));
    for (int i = 0; i < 4; ++i)
        QVERIFY2(lowerHex.match(texts.at(i)).hasMatch(), qPrintable(names.at(i)));
    QCOMPARE(texts.at(0).toLatin1(), window->saveGeometry().toHex());
    QCOMPARE(texts.at(1).toLatin1(), window->saveState(0).toHex());
    QCOMPARE(texts.at(2).toLatin1(),
             child<QSplitter>(window.get(), "splitter")->saveState().toHex());
    QCOMPARE(texts.at(3).toLatin1(),
             child<QSplitter>(window.get(), "splitter_2")->saveState().toHex());
}

// What one window writes at close the next one shows: each blob goes back to its own widget.
void TestWindowSettings::layoutAndOptionsSurviveARestart()
{
    MeterOptions options;
    options.Language = QStringLiteral("en-US");
    options.SamplePoints = 7;
    options.Infinite = false;
    options.SampleRate = 1234;
    options.SkipRepeat = true;

    Layout before;
    {
        auto window = makeTestWindow({}, true);
        window->setGeometry(QRect(QPoint(40, 30), QSize(900, 640)));
        QVERIFY(QTest::qWaitFor([&] { return window->size() == QSize(900, 640); }));
        QSplitter *inner = child<QSplitter>(window.get(), "splitter");
        QSplitter *outer = child<QSplitter>(window.get(), "splitter_2");
        QList<int> sizes = inner->sizes();
        QVERIFY(sizes.size() >= 2);
        sizes[0] += 60;
        sizes[1] -= 60;
        inner->setSizes(sizes);
        QList<int> sizes2 = outer->sizes();
        QVERIFY(sizes2.size() >= 2);
        sizes2[0] -= 50;
        sizes2[1] += 50;
        outer->setSizes(sizes2);
        window->setOptions(options);
        before = Layout::of(window.get());
        QVERIFY(window->close());
    }

    auto window = makeTestWindow({}, true);
    QVERIFY2(sameOptions(window->options(), options), qPrintable(describe(window->options())));
    const Layout after = Layout::of(window.get());
    QCOMPARE(after.geometry, before.geometry);
    QCOMPARE(after.sizes, before.sizes);
    QCOMPARE(after.sizes2, before.sizes2);
    QCOMPARE(after.state, before.state);
}

// A file that holds one option changes that option only, and no layout.
void TestWindowSettings::fileWithOnlySampleRate()
{
    Layout plain;
    {
        auto window = makeTestWindow({}, true);
        plain = Layout::of(window.get());
    }
    QVERIFY(writeFile(testOptionsFilePath(), optionsDocument({{"SampleRate", "1000"}})));

    auto window = makeTestWindow({}, true);
    MeterOptions expected;
    expected.SampleRate = 1000;
    QVERIFY2(sameOptions(window->options(), expected), qPrintable(describe(window->options())));
    QVERIFY(Layout::of(window.get()) == plain);
}

void TestWindowSettings::rejectedBlobsKeepTheLayout_data()
{
    // Real blobs of each kind, to hand to the wrong owner.
    QByteArray geometry;
    QByteArray state;
    QByteArray inner;
    QByteArray outer;
    {
        auto window = makeTestWindow({}, true);
        geometry = window->saveGeometry();
        state = window->saveState(0);
        inner = child<QSplitter>(window.get(), "splitter")->saveState();
        outer = child<QSplitter>(window.get(), "splitter_2")->saveState();
    }
    // The splitter's header with nothing after it.
    QByteArray cutShort;
    {
        QDataStream stream(&cutShort, QIODevice::WriteOnly);
        stream << qint32(0xff) << qint32(0);
    }
    // 75 bytes announcing 2^31 sections: the toolkit would try to reserve them all.
    QByteArray hugeCount;
    {
        QDataStream stream(&hugeCount, QIODevice::WriteOnly);
        stream << qint32(0xff) << qint32(1) << quint32(0x80000000u);
        hugeCount.append(QByteArray(63, '\0'));
    }
    // Well formed, but with a section more than the splitters have.
    QByteArray extraSection;
    {
        QDataStream stream(&extraSection, QIODevice::WriteOnly);
        stream << qint32(0xff) << qint32(1) << QList<int> {100, 100, 100} << true << qint32(5)
               << true << qint32(Qt::Horizontal) << false;
    }
    // A frame at the far left end of the integers.
    QByteArray farLeft;
    {
        QDataStream stream(&farLeft, QIODevice::WriteOnly);
        const QRect frame(QPoint(std::numeric_limits<int>::min(), 0), QSize(100, 100));
        stream << quint32(0x1D9D0CB) << quint16(3) << quint16(0) << frame << frame << qint32(0)
               << quint8(0) << quint8(0) << qint32(1024) << frame;
    }
    // Window states whose tool bar part names more bars than the form has, or announces more
    // lines than there are bytes (the toolkit walks all of them).
    const auto toolBarState = [](qint32 lines, const QStringList &names) {
        QByteArray blob;
        QDataStream stream(&blob, QIODevice::WriteOnly);
        stream << qint32(0xff) << qint32(0) << quint8(0xfc) << lines;
        for (const QString &name : names)
            stream << qint32(0) << qint32(1) << name << quint8(1) << qint32(0) << qint32(-1)
                   << quint32(0) << quint32(0);
        return QString::fromLatin1(blob.toHex());
    };

    QTest::addColumn<QStringList>("blobs"); // Geometry, State, SplitterState, Splitter2State

    QTest::newRow("not hexadecimal") << QStringList {"zz!?", "qq", "not hex", "--"};
    QTest::newRow("random bytes") << QStringList {"0123456789abcdef", "deadbeef", "00ff00ff", "7f"};
    QTest::newRow("blobs swapped between owners")
        << QStringList {QString::fromLatin1(state.toHex()), QString::fromLatin1(geometry.toHex()),
                        QString::fromLatin1(outer.toHex()), QString::fromLatin1(inner.toHex())};
    QTest::newRow("splitter header cut short")
        << QStringList {QString(), QString(), QString::fromLatin1(cutShort.toHex()),
                        QString::fromLatin1(cutShort.toHex())};
    QTest::newRow("window at the far left")
        << QStringList {QString::fromLatin1(farLeft.toHex()), QString(), QString(), QString()};
    QTest::newRow("2^31 splitter sections")
        << QStringList {QString(), QString(), QString::fromLatin1(hugeCount.toHex()),
                        QString::fromLatin1(hugeCount.toHex())};
    QTest::newRow("a splitter section too many")
        << QStringList {QString(), QString(), QString::fromLatin1(extraSection.toHex()),
                        QString::fromLatin1(extraSection.toHex())};
    QTest::newRow("more tool bars than the form has") << QStringList {
        QString(), toolBarState(3, {"mainToolBar", "ghost", "itemToolBar"}), QString(), QString()};
    QTest::newRow("2^31 - 1 tool bar lines")
        << QStringList {QString(), toolBarState(0x7fffffff, {}), QString(), QString()};
}

// Layout data the toolkit does not take, or that is plainly not the splitter's own, leaves the
// window as it was built; the options in the same file still apply.
void TestWindowSettings::rejectedBlobsKeepTheLayout()
{
    QFETCH(QStringList, blobs);
    Layout plain;
    {
        auto window = makeTestWindow({}, true);
        plain = Layout::of(window.get());
    }
    QList<QPair<QString, QString>> children;
    for (int i = 0; i < 4; ++i) {
        if (!blobs.at(i).isEmpty())
            children.append(qMakePair(childNames.at(i), blobs.at(i)));
    }
    children.append(qMakePair(QStringLiteral("SamplePoints"), QStringLiteral("77")));
    children.append(qMakePair(QStringLiteral("SampleRate"), QStringLiteral("-1")));
    children.append(qMakePair(QStringLiteral("Language"), QStringLiteral("../x")));
    QVERIFY(writeFile(testOptionsFilePath(), optionsDocument(children)));

    auto window = makeTestWindow({}, true);
    QCOMPARE(window->options().SamplePoints, 77);
    QCOMPARE(window->options().SampleRate, MeterOptions().SampleRate);
    QCOMPARE(window->options().Language, MeterOptions().Language);
    const Layout after = Layout::of(window.get());
    QCOMPARE(after.geometry, plain.geometry);
    QCOMPARE(after.orientation, plain.orientation);
    QCOMPARE(after.orientation2, plain.orientation2);
    QCOMPARE(after.handleWidth, plain.handleWidth);
    QCOMPARE(after.sizes, plain.sizes);
    QCOMPARE(after.sizes2, plain.sizes2);
    QCOMPARE(after.state, plain.state);

    // At close the file gets the window's own layout back.
    QVERIFY(window->close());
    const OptionsFound rewritten = OptionsFile::read(testOptionsFilePath());
    QCOMPARE(rewritten.state.value_or(QByteArray()), window->saveState(0));
    QCOMPARE(rewritten.splitterState.value_or(QByteArray()),
             child<QSplitter>(window.get(), "splitter")->saveState());
    QCOMPARE(rewritten.splitter2State.value_or(QByteArray()),
             child<QSplitter>(window.get(), "splitter_2")->saveState());
}

void TestWindowSettings::unwritableFileAtClose_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("a folder named options.xml") << "folder";
    QTest::newRow("read-only file") << "read-only";
}

// The window still closes, with one warning, and what was there stays.
void TestWindowSettings::unwritableFileAtClose()
{
    QFETCH(QString, obstacle);
    const QString path = testOptionsFilePath();
    const QByteArray old = optionsDocument({{"SampleRate", "900"}});
    if (obstacle == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QVERIFY(writeFile(path, old));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
        if (QFileInfo(path).isWritable())
            QSKIP("a read-only file is writable for this user (root)");
    }

    auto window = makeTestWindow({}, true);
    ModalWatcher modals;
    modals.expectMessageBox(QMessageBox::Ok);
    QVERIFY(window->close());
    QVERIFY(modals.verify());
    QCOMPARE(modals.seen().size(), 1);
    QCOMPARE(modals.last().text, QStringLiteral("Can not open file."));
    QCOMPARE(modals.last().title, QString());
    QCOMPARE(modals.last().icon, QMessageBox::Warning);
    QCOMPARE(modals.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!window->isVisible());

    if (obstacle == QLatin1String("folder")) {
        QVERIFY(QFileInfo(path).isDir());
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
    }
    // No temporary file is left beside it.
    const QStringList left = QDir(QFileInfo(path).absolutePath())
                                 .entryList({QStringLiteral("options.xml*")},
                                            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList {QStringLiteral("options.xml")});
}

void TestWindowSettings::laterShowsKeepChanges_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("minimise and restore") << "minimise";
    QTest::newRow("hide and show") << "hide";
    QTest::newRow("show event delivered again") << "event";
}

// Only the first show reads the file: bringing the window back later keeps the option changed
// in the dialog and the place the user moved the window to.
void TestWindowSettings::laterShowsKeepChanges()
{
    QFETCH(QString, how);
    // The offscreen platform shifts a window by its frame margins, so positions are compared
    // as the platform settles them.
    QRect saved;
    {
        auto first = makeTestWindow({}, true);
        first->move(30, 40);
        QTest::qWait(50);
        saved = first->geometry();
        MeterOptions options = first->options();
        options.SampleRate = 1000;
        first->setOptions(options);
        QVERIFY(first->close());
    }
    auto window = makeTestWindow({}, true);
    QCOMPARE(window->options().SampleRate, 1000);
    QTest::qWait(50);
    QCOMPARE(window->geometry(), saved);

    MeterOptions wanted = window->options();
    wanted.SampleRate = 250;
    ModalWatcher modals;
    modals.expectDialog(QStringLiteral("DlgOption"),
                        [&](QDialog *dialog) { editDialog(dialog, wanted, QDialogButtonBox::Ok); });
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionOption")->trigger();
    QVERIFY(modals.verify());
    QCOMPARE(window->options().SampleRate, 250);

    window->move(saved.topLeft() + QPoint(37, 23));
    QTest::qWait(50);
    const QPoint moved = window->pos();
    QVERIFY(moved != saved.topLeft());

    if (how == QLatin1String("minimise")) {
        window->showMinimized();
        QTest::qWait(50);
        window->showNormal();
    } else if (how == QLatin1String("hide")) {
        window->hide();
        QTest::qWait(50);
        window->show();
    } else {
        QShowEvent event;
        QCoreApplication::sendEvent(window.get(), &event);
    }
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTest::qWait(50);

    QCOMPARE(window->options().SampleRate, 250);
    QCOMPARE(window->pos(), moved);
}

void TestWindowSettings::optionsCommand_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("accepted"); // OK, or Cancel after working every control

    QTest::newRow("accepted while disconnected") << false << 120 << true;
    QTest::newRow("accepted while connected") << true << 120 << true;
    QTest::newRow("rate 0 while connected") << true << 0 << true;
    QTest::newRow("rate 0 while disconnected") << false << 0 << true;
    QTest::newRow("cancelled while connected") << true << 77 << false;
}

// OK: the restart hint comes first, with the old options still in force; then the options
// are those of the controls and exactly one sampling timer runs with the new period (none for
// a rate of 0), whether or not a meter is connected. Cancel changes nothing and shows no hint.
void TestWindowSettings::optionsCommand()
{
    QFETCH(bool, connected);
    QFETCH(int, rate);
    QFETCH(bool, accepted);

    auto window = makeTestWindow({}, true);
    if (connected) {
        QVERIFY(connectMeter(window.get()));
        QVERIFY(window->samplingTimerId() != 0);
    }
    const MeterOptions old = window->options();
    const int oldTimer = window->samplingTimerId();
    MeterOptions wanted;
    wanted.Language = QStringLiteral("en-US");
    wanted.SampleRate = rate;
    wanted.Infinite = false;
    wanted.SamplePoints = 42;
    wanted.SkipRepeat = true;

    MeterOptions atHint;
    ModalWatcher modals;
    modals.expectDialog(QStringLiteral("DlgOption"), [&](QDialog *dialog) {
        editDialog(dialog, wanted, accepted ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
    });
    if (accepted) {
        modals.expectDialog(QStringLiteral("QMessageBox"), [&](QDialog *box) {
            atHint = window->options();
            static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
    }
    action(window.get(), "actionOption")->trigger();
    QVERIFY(modals.verify());
    QVERIFY(window->findChildren<DlgOption *>().isEmpty());

    if (!accepted) {
        QCOMPARE(modals.seen().size(), 1);
        QVERIFY2(sameOptions(window->options(), old), qPrintable(describe(window->options())));
        QCOMPARE(window->samplingTimerId(), oldTimer);
        return;
    }
    QCOMPARE(modals.seen().size(), 2);
    const ModalWatcher::Seen hint = modals.seen().at(1);
    QCOMPARE(hint.text, QStringLiteral("Changes will take effect when you restart application."));
    QCOMPARE(hint.title, QString());
    QCOMPARE(hint.icon, QMessageBox::Information);
    QCOMPARE(hint.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY2(sameOptions(atHint, old), qPrintable(describe(atHint)));
    QVERIFY2(sameOptions(window->options(), wanted), qPrintable(describe(window->options())));

    TimerSpy spy(window.get());
    QTest::qWait(rate ? 4 * rate : 2 * old.SampleRate + 100);
    if (rate == 0) {
        QCOMPARE(window->samplingTimerId(), 0);
        QVERIFY2(spy.ids.isEmpty(), "a sampling timer still ticks");
    } else {
        QVERIFY(window->samplingTimerId() != 0);
        QCOMPARE(spy.distinct(), QSet<int> {window->samplingTimerId()});
    }
}

QTEST_MAIN(TestWindowSettings)
#include "tst_windowsettings.moc"
