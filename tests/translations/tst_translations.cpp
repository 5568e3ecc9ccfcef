#include "windowfixture.h"

#include "dlgexport.h"
#include "dlgoption.h"
#include "dlgsettings.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTranslator>
#include <QXmlStreamReader>
#include <memory>

namespace {

// One message of a translation source file.
struct Message
{
    QString context;
    QString source;
    QString comment;
    bool numerus = false;
    QString translationType; // "unfinished", "obsolete", "vanished" or empty
    QStringList translations; // one, or the numerus forms

    QString key() const { return context + QLatin1Char('|') + source + QLatin1Char('|') + comment; }
    QString where() const
    {
        return QStringLiteral("%1 \"%2\"").arg(context, QString(source).replace('\n', "\\n"));
    }
};

QList<Message> readTs(const QString &path, QString *error)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            message = Message();
            message.context = context;
            message.numerus
                = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
        } else if (name == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (name == QLatin1String("comment")) {
            message.comment = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            message.translationType = xml.attributes().value(QLatin1String("type")).toString();
            if (message.numerus) {
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("numerusform"))
                        message.translations << xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
            } else {
                message.translations << xml.readElementText();
            }
            messages << message;
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

QString tsPath()
{
    return qEnvironmentVariable("METER_SOURCE_DIR") + QStringLiteral("/translations/zh-CN.ts");
}

QString qmPath()
{
    return qEnvironmentVariable("METER_BUILD_DIR") + QStringLiteral("/bin/zh-CN.qm");
}

// The toolkit's own texts, where the application looks for them (relative to its folder).
QString toolkitQmPath()
{
    return qEnvironmentVariable("METER_BUILD_DIR")
        + QStringLiteral("/bin/translations/qt_zh_CN.qm");
}

QString lupdateProgram()
{
#ifdef LUPDATE_EXECUTABLE
    if (QFileInfo(QStringLiteral(LUPDATE_EXECUTABLE)).isExecutable())
        return QStringLiteral(LUPDATE_EXECUTABLE);
#endif
    const QString beside = QLibraryInfo::location(QLibraryInfo::BinariesPath) + "/lupdate";
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("lupdate"));
}

// The placeholders a text hands to arg() or to the plural rule, sorted.
QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%(\\d+|n)"));
    QStringList found;
    auto it = marker.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    found.sort();
    return found;
}

bool hasAccelerator(const QString &text)
{
    return QString(text).remove(QStringLiteral("&&")).contains(QLatin1Char('&'));
}

// The texts a widget tree shows, read back after construction.
QStringList shownTexts(QWidget *root)
{
    QStringList texts {root->windowTitle()};
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : qAsConst(widgets)) {
        if (auto *label = qobject_cast<QLabel *>(w))
            texts << label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text();
        else if (auto *box = qobject_cast<QGroupBox *>(w))
            texts << box->title();
        else if (auto *bar = qobject_cast<QToolBar *>(w))
            texts << bar->windowTitle();
        else if (auto *menu = qobject_cast<QMenu *>(w))
            texts << menu->title();
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
        }
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        }
        if (auto *view = qobject_cast<QAbstractItemView *>(w); view && view->model()) {
            const QAbstractItemModel *model = view->model();
            for (int c = 0; c < model->columnCount(); ++c)
                texts << model->headerData(c, Qt::Horizontal).toString();
            // The top rows and their first children: the item tree's fixed names.
            for (int r = 0; r < model->rowCount(); ++r) {
                const QModelIndex row = model->index(r, 0);
                texts << row.data().toString();
                for (int child = 0; child < model->rowCount(row); ++child)
                    texts << model->index(child, 0, row).data().toString();
            }
        }
    }
    for (const QAction *action : root->findChildren<QAction *>())
        texts << action->text() << action->toolTip();
    texts.removeAll(QString());
    texts.removeDuplicates();
    return texts;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void toolkitTranslationLoads();
    void everyMessageIsTranslated();
    void compiledTranslationMatches();
    void sourcesHoldNoTextWithoutTranslation();
    void interfaceShowsNoEnglish_data();
    void interfaceShowsNoEnglish();

private:
    QList<Message> messages;
    QTranslator translator;
    QTranslator toolkitTranslator;
};

void TestTranslations::initTestCase()
{
    QString error;
    messages = readTs(tsPath(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(tsPath() + ": " + error));
    QVERIFY(!messages.isEmpty());
    QVERIFY2(translator.load(qmPath()), qPrintable(qmPath() + " does not load"));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    // The standard buttons are translated by the toolkit; when the runtime folder's copy is
    // broken (its own test says so), the system's stands in so that the other tests still
    // look at our texts.
    if (toolkitTranslator.load(toolkitQmPath())
        || toolkitTranslator.load(QStringLiteral("qt_zh_CN"),
                                  QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&toolkitTranslator);
}

// The toolkit's translation in the runtime folder loads on its own and translates the standard
// buttons (a catalogue that only names other files next to it would load nothing).
void TestTranslations::toolkitTranslationLoads()
{
    if (!QFile::exists(toolkitQmPath()))
        QSKIP("the toolkit's Chinese translation is not installed on this system");
    QTranslator toolkit;
    QVERIFY2(toolkit.load(toolkitQmPath()), qPrintable(toolkitQmPath() + " does not load"));
    QVERIFY(!toolkit.translate("QPlatformTheme", "Cancel").isEmpty());
    QVERIFY(!toolkit.translate("QPlatformTheme", "OK").isEmpty());
}

// Each entry is finished and keeps what the code relies on: the arg() and plural markers,
// the line breaks, and a keyboard accelerator where the English text has one.
void TestTranslations::everyMessageIsTranslated()
{
    QStringList problems;
    for (const Message &m : qAsConst(messages)) {
        if (!m.translationType.isEmpty()) {
            problems << m.where() + " is " + m.translationType;
            continue;
        }
        if (m.translations.isEmpty() || m.translations.contains(QString())) {
            problems << m.where() + " has no translation";
            continue;
        }
        for (const QString &zh : m.translations) {
            if (placeholders(zh) != placeholders(m.source))
                problems << m.where() + " loses or adds a placeholder: " + zh;
            if (zh.count(QLatin1Char('\n')) != m.source.count(QLatin1Char('\n')))
                problems << m.where() + " changes the line breaks: " + zh;
            if (hasAccelerator(zh) != hasAccelerator(m.source))
                problems << m.where() + " loses or adds an accelerator: " + zh;
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

// The file the application loads is built from the current source file.
void TestTranslations::compiledTranslationMatches()
{
    QStringList problems;
    for (const Message &m : qAsConst(messages)) {
        const QString shown = translator.translate(
            qPrintable(m.context), qPrintable(m.source),
            m.comment.isEmpty() ? nullptr : qPrintable(m.comment), m.numerus ? 1 : -1);
        if (shown.isEmpty())
            problems << m.where() + " is not in zh-CN.qm";
        else if (shown != m.translations.value(0))
            problems << m.where() + " is out of date in zh-CN.qm: " + shown;
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

// Every text the sources hand to tr() (and every text of the forms) has an entry, and no entry
// is left over from a text that is gone.
void TestTranslations::sourcesHoldNoTextWithoutTranslation()
{
    const QString lupdate = lupdateProgram();
    if (lupdate.isEmpty())
        QSKIP("lupdate is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString scanned = dir.filePath(QStringLiteral("scan.ts"));
    QProcess process;
    process.start(lupdate,
                  {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"),
                   QStringLiteral("-locations"), QStringLiteral("none"),
                   qEnvironmentVariable("METER_SOURCE_DIR") + QStringLiteral("/src"),
                   QStringLiteral("-ts"), scanned});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());

    QString error;
    const QList<Message> inSources = readTs(scanned, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!inSources.isEmpty());

    QSet<QString> translated;
    for (const Message &m : qAsConst(messages))
        translated << m.key();
    QSet<QString> used;
    QStringList missing;
    for (const Message &m : inSources) {
        used << m.key();
        if (!translated.contains(m.key()))
            missing << m.where();
    }
    QStringList stale;
    for (const Message &m : qAsConst(messages)) {
        if (!used.contains(m.key()))
            stale << m.where();
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable("texts without a Chinese translation:\n" + missing.join('\n')));
    QVERIFY2(stale.isEmpty(), qPrintable("entries for texts no longer used:\n" + stale.join('\n')));
}

void TestTranslations::interfaceShowsNoEnglish_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("main window") << "Widget";
    QTest::newRow("options dialog") << "DlgOption";
    QTest::newRow("device settings dialog") << "DlgSettings";
    QTest::newRow("export dialog") << "dlgExport";
}

// With the translation installed before construction, as at start-up, no widget shows an
// English text that has a Chinese translation: a text translated in the wrong context, or
// set without tr(), would.
void TestTranslations::interfaceShowsNoEnglish()
{
    QFETCH(QString, what);
    QHash<QString, QString> english; // source text -> its translation, any context
    for (const Message &m : qAsConst(messages))
        english.insert(m.source, m.translations.value(0));

    std::unique_ptr<QWidget> widget;
    if (what == QLatin1String("Widget")) {
        QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
        widget = makeTestWindow();
    } else if (what == QLatin1String("DlgOption")) {
        widget = std::make_unique<DlgOption>();
    } else if (what == QLatin1String("DlgSettings")) {
        widget = std::make_unique<DlgSettings>();
    } else {
        widget = std::make_unique<dlgExport>();
    }

    QStringList untranslated;
    for (const QString &text : shownTexts(widget.get())) {
        const auto it = english.constFind(text);
        if (it != english.constEnd() && *it != text)
            untranslated << text;
    }
    QVERIFY2(untranslated.isEmpty(), qPrintable("shown in English: " + untranslated.join(", ")));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
