#include "chartpicturenames.h"
#include "dlgexport.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

namespace {
// Marks every text it translates with its context, so a test sees which context was asked.
class ContextMarker : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char * = nullptr,
                      int = -1) const override
    {
        return QStringLiteral("[%1]%2").arg(QLatin1String(context), QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
};
} // namespace

class TstExportDialog : public QObject
{
    Q_OBJECT

private slots:
    void dialogForm();
    void textsTranslated();
    void choiceFollowsButtons_data();
    void choiceFollowsButtons();
    void buttonBoxClosesDialog_data();
    void buttonBoxClosesDialog();
    void pictureNames_data();
    void pictureNames();
    void failedPictures();
};

void TstExportDialog::dialogForm()
{
    dlgExport dlg(nullptr);
    QCOMPARE(dlg.size(), QSize(264, 148));
    QVERIFY(dlg.windowTitle().isEmpty());
    QCOMPARE(dlg.choice(), int(dlgExport::Table));

    const auto table = dlg.findChild<QRadioButton *>("rbTable");
    const auto chart = dlg.findChild<QRadioButton *>("rbChart");
    const auto pdf = dlg.findChild<QRadioButton *>("rbPdf");
    QVERIFY(table && chart && pdf);
    QCOMPARE(table->text(), QStringLiteral("Table(XLS)"));
    QCOMPARE(chart->text(), QStringLiteral("Chart(JPG)"));
    QCOMPARE(pdf->text(), QStringLiteral("PDF"));
    QVERIFY(table->isChecked());
    QVERIFY(!chart->isChecked() && !pdf->isChecked());

    const auto box = dlg.findChild<QDialogButtonBox *>("buttonBox");
    QVERIFY(box);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QVERIFY(dlg.findChild<QLayout *>("gridLayout_2"));
    const auto column = dlg.findChild<QLayout *>("verticalLayout");
    QVERIFY(column);
    QCOMPARE(column->contentsMargins().left(), 6);
}

void TstExportDialog::textsTranslated()
{
    ContextMarker marker;
    QCoreApplication::installTranslator(&marker);
    dlgExport dlg(nullptr);
    const QString pdfText = dlg.findChild<QRadioButton *>("rbPdf")->text();
    // The window shows the picture warning, so it is translated as the window's text.
    const QString message = ChartPictureNames::failureMessage({"/data/run_Tumidity.jpg"});
    QCoreApplication::removeTranslator(&marker);

    QCOMPARE(pdfText, QStringLiteral("[dlgExport]PDF"));
    QVERIFY(dlg.windowTitle().isEmpty());
    QVERIFY2(message.startsWith("[Widget]"), qPrintable(message));
}

void TstExportDialog::choiceFollowsButtons_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("expected");

    QTest::newRow("none") << QStringList() << 0;
    QTest::newRow("chart") << QStringList {"rbChart"} << 1;
    QTest::newRow("pdf") << QStringList {"rbPdf"} << 2;
    QTest::newRow("pdf then table") << QStringList {"rbPdf", "rbTable"} << 0;
    QTest::newRow("chart then pdf") << QStringList {"rbChart", "rbPdf"} << 2;
    QTest::newRow("pdf clicked twice") << QStringList {"rbPdf", "rbPdf"} << 2;
}

void TstExportDialog::choiceFollowsButtons()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, expected);

    dlgExport dlg(nullptr);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (const QString &name : clicks) {
        QRadioButton *button = dlg.findChild<QRadioButton *>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }
    QCOMPARE(dlg.choice(), expected);

    // Exactly one format stays selected, and it is the one reported.
    const QStringList names {"rbTable", "rbChart", "rbPdf"};
    int checked = 0;
    for (int i = 0; i < names.size(); ++i) {
        if (dlg.findChild<QRadioButton *>(names.at(i))->isChecked()) {
            ++checked;
            QCOMPARE(i, expected);
        }
    }
    QCOMPARE(checked, 1);
}

void TstExportDialog::buttonBoxClosesDialog_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("ok") << int(QDialogButtonBox::Ok) << int(QDialog::Accepted);
    QTest::newRow("cancel") << int(QDialogButtonBox::Cancel) << int(QDialog::Rejected);
}

void TstExportDialog::buttonBoxClosesDialog()
{
    QFETCH(int, button);
    QFETCH(int, result);

    dlgExport dlg(nullptr);
    dlg.show();
    QSignalSpy finished(&dlg, &QDialog::finished);
    const auto box = dlg.findChild<QDialogButtonBox *>("buttonBox");
    box->button(QDialogButtonBox::StandardButton(button))->click();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dlg.result(), result);
    QVERIFY(!dlg.isVisible());
}

void TstExportDialog::pictureNames_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("first");

    QTest::newRow("plain") << "/data/run.jpg"
                           << "/data"
                           << "/data/run_Temperature.jpg";
    // Base up to the first dot, suffix after the last.
    QTest::newRow("several dots") << "/data/a.b.jpg"
                                  << "/data"
                                  << "/data/a_Temperature.jpg";
    QTest::newRow("other suffix") << "/data/run.png"
                                  << "/data"
                                  << "/data/run_Temperature.png";
    // Without a suffix the pictures would have no image format; they get jpg.
    QTest::newRow("no suffix") << "/data/run"
                               << "/data"
                               << "/data/run_Temperature.jpg";
    QTest::newRow("trailing dot") << "/data/run."
                                  << "/data"
                                  << "/data/run_Temperature.jpg";
    QTest::newRow("dotted directory") << "/tmp/a.b/run"
                                      << "/tmp/a.b"
                                      << "/tmp/a.b/run_Temperature.jpg";
    QTest::newRow("dotted directory with suffix") << "/tmp/a.b/run.jpeg"
                                                  << "/tmp/a.b"
                                                  << "/tmp/a.b/run_Temperature.jpeg";
}

void TstExportDialog::pictureNames()
{
    QFETCH(QString, chosen);
    QFETCH(QString, dir);
    QFETCH(QString, first);

    const ChartPictureNames names(chosen);
    QCOMPARE(names.dir(), dir);
    const QStringList paths = names.paths();
    QCOMPARE(paths.size(), 4);
    QCOMPARE(paths.first(), first);

    // Every chart's path differs from the first only in the chart's word.
    const QStringList words {"Temperature", "Tumidity", "DewPoint", "WetBulb"};
    for (int i = 0; i < words.size(); ++i) {
        QString expected = first;
        expected.replace("_Temperature.", "_" + words.at(i) + ".");
        QCOMPARE(paths.at(i), expected);
    }
    QVERIFY(!paths.contains(chosen));
}

void TstExportDialog::failedPictures()
{
    const QStringList paths = ChartPictureNames("/data/run.jpg").paths();

    QVERIFY(ChartPictureNames::failedPaths(paths, {true, true, true, true}).isEmpty());
    QVERIFY(ChartPictureNames::failureMessage({}).isEmpty());

    const QStringList failed = ChartPictureNames::failedPaths(paths, {true, false, true, false});
    QCOMPARE(failed, (QStringList {paths.at(1), paths.at(3)}));
    // Fewer results than paths: the unreported ones did not succeed.
    QCOMPARE(ChartPictureNames::failedPaths(paths, {true, true}).size(), 2);

    const QString message = ChartPictureNames::failureMessage(failed);
    QVERIFY(message.contains(QDir::toNativeSeparators(paths.at(1))));
    QVERIFY(message.contains(QDir::toNativeSeparators(paths.at(3))));
    QVERIFY(!message.contains(QDir::toNativeSeparators(paths.at(0))));
}

QTEST_MAIN(TstExportDialog)
#include "tst_exportdialog.moc"
