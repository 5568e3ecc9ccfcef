#include "modalwatcher.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The watcher answers what it was told to and reports everything else.
class TestModalWatcher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messageBoxButtons_data();
    void messageBoxButtons();
    void inputDialog_data();
    void inputDialog();
    void fileDialog_data();
    void fileDialog();
    void boxesInOrder();
    void unexpectedBoxIsDismissedAndReported();
    void missingBoxIsReported();
    void wrongKindIsReported();
    void popupMenu();
    void laterBox();
};

void TestModalWatcher::initTestCase()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestModalWatcher::messageBoxButtons_data()
{
    QTest::addColumn<int>("press");
    QTest::newRow("Yes") << int(QMessageBox::Yes);
    QTest::newRow("No") << int(QMessageBox::No);
}

void TestModalWatcher::messageBoxButtons()
{
    QFETCH(int, press);
    QWidget parent;
    ModalWatcher modals;
    modals.expectMessageBox(QMessageBox::StandardButton(press));
    const auto answer = QMessageBox::question(&parent, QString(), QStringLiteral("Delete?"),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    QCOMPARE(int(answer), press);
    QVERIFY(modals.verify());
    QCOMPARE(modals.last().text, QStringLiteral("Delete?"));
    QCOMPARE(modals.last().icon, QMessageBox::Question);
    QCOMPARE(modals.last().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(modals.last().defaultButton, QMessageBox::No);
}

void TestModalWatcher::inputDialog_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("typed") << true;
    QTest::newRow("cancelled") << false;
}

void TestModalWatcher::inputDialog()
{
    QFETCH(bool, accept);
    QWidget parent;
    ModalWatcher modals;
    if (accept)
        modals.expectInput(QStringLiteral("  Kitchen "));
    else
        modals.expectInputCancel();
    bool ok = false;
    const QString text = QInputDialog::getText(&parent, QString(), QStringLiteral("Name:"),
                                               QLineEdit::Normal, QStringLiteral("Measure2"), &ok);
    QVERIFY(modals.verify());
    QCOMPARE(ok, accept);
    if (accept)
        QCOMPARE(text, QStringLiteral("  Kitchen "));
    QCOMPARE(modals.last().className, QStringLiteral("QInputDialog"));
    QCOMPARE(modals.last().text, QStringLiteral("Name:"));
    QCOMPARE(modals.last().value, QStringLiteral("Measure2"));
}

void TestModalWatcher::fileDialog_data()
{
    QTest::addColumn<QString>("typed"); // into the name box, in the temporary folder
    QTest::addColumn<QString>("chosen"); // in the temporary folder

    QTest::newRow("full path") << QString() << "readings.xls";
    QTest::newRow("typed name") << "readings.xls"
                                << "readings.xls";
    QTest::newRow("typed through a missing folder") << "missing/readings.xls"
                                                    << "missing/readings.xls";
}

void TestModalWatcher::fileDialog()
{
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(chosen);
    QWidget parent;
    ModalWatcher modals;
    if (typed.isEmpty())
        modals.expectFile(path);
    else
        modals.expectTypedFile(dir.path(), typed);
    const QString answer = QFileDialog::getSaveFileName(&parent, QStringLiteral("Save"),
                                                        QDir::homePath(), QStringLiteral("*.xls"));
    QVERIFY(modals.verify());
    QCOMPARE(answer, path);
    QCOMPARE(modals.last().className, QStringLiteral("QFileDialog"));

    modals.expectFileCancel();
    QVERIFY(QFileDialog::getOpenFileName(&parent, QStringLiteral("Open"), dir.path()).isEmpty());
    QVERIFY(modals.verify());
}

void TestModalWatcher::boxesInOrder()
{
    QWidget parent;
    ModalWatcher modals;
    modals.expectMessageBox(QMessageBox::Ok);
    modals.expectInput(QStringLiteral("x"));
    modals.expectMessageBox(QMessageBox::Ok);
    QMessageBox::information(&parent, QString(), QStringLiteral("first"));
    QInputDialog::getText(&parent, QString(), QStringLiteral("second"));
    QMessageBox::warning(&parent, QString(), QStringLiteral("third"));
    QVERIFY(modals.verify());
    QCOMPARE(modals.texts(), (QStringList {"first", "second", "third"}));
}

void TestModalWatcher::unexpectedBoxIsDismissedAndReported()
{
    QWidget parent;
    ModalWatcher modals;
    // Dismissed with its Escape button, so the caller sees a refusal and goes on.
    const auto answer = QMessageBox::question(&parent, QString(), QStringLiteral("Sure?"),
                                              QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(answer, QMessageBox::No);
    QCOMPARE(modals.failures().size(), 1);
    QVERIFY(!modals.last().expected);
    QTest::ignoreMessage(QtWarningMsg, "ModalWatcher: unexpected QMessageBox: \"Sure?\"");
    QVERIFY(!modals.verify());
    QVERIFY(modals.verify()); // reported once
}

void TestModalWatcher::missingBoxIsReported()
{
    ModalWatcher modals;
    modals.expectMessageBox();
    QVERIFY(!modals.waitForAll(50));
    QCOMPARE(modals.pending(), 1);
    QTest::ignoreMessage(QtWarningMsg, "ModalWatcher: expected message box did not appear");
    QVERIFY(!modals.verify());
}

void TestModalWatcher::wrongKindIsReported()
{
    QWidget parent;
    ModalWatcher modals;
    modals.expectInput(QStringLiteral("x"));
    QMessageBox::information(&parent, QString(), QStringLiteral("hello"));
    QTest::ignoreMessage(QtWarningMsg,
                         "ModalWatcher: expected input dialog, got QMessageBox: \"hello\"");
    QVERIFY(!modals.verify());
}

void TestModalWatcher::popupMenu()
{
    QWidget parent;
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QMenu menu(&parent);
    QAction *a = menu.addAction(QStringLiteral("A"));
    a->setObjectName(QStringLiteral("actionA"));
    menu.addSeparator();
    QAction *b = menu.addAction(QStringLiteral("B"));
    b->setObjectName(QStringLiteral("actionB"));
    b->setEnabled(false);
    ModalWatcher modals;
    modals.expectMenu();
    QCOMPARE(menu.exec(parent.mapToGlobal(QPoint(5, 5))), nullptr);
    QVERIFY(modals.verify());
    QCOMPARE(modals.last().text, QStringLiteral("actionA,|,actionB(off)"));
}

void TestModalWatcher::laterBox()
{
    QWidget parent;
    ModalWatcher modals;
    modals.expectMessageBox();
    QTimer::singleShot(30, &parent, [&parent] {
        QMessageBox::information(&parent, QString(), QStringLiteral("done"));
    });
    QVERIFY(modals.waitForAll());
    QVERIFY(modals.verify());
    QCOMPARE(modals.last().text, QStringLiteral("done"));
}

QTEST_MAIN(TestModalWatcher)
#include "tst_modalwatcher.moc"
