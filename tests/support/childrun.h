#ifndef CHILDRUN_H
#define CHILDRUN_H

#include <QString>
#include <QStringList>

// Runs a row of a test function again in a child process of the same test program, for what a
// test cannot change in its own process: the font resolution the application starts with
// (QT_FONT_DPI), or the user it runs as. Link `meter_test_child`.
//
//     if (!isChildRun()) {
//         const ChildRun run = rerunInChild("gridFits:default font", {"QT_FONT_DPI=120"});
//         QVERIFY2(run.passed(), qPrintable(run.output));
//         return;
//     }

struct ChildRun
{
    bool started = false;
    int exitCode = -1; // Qt Test's: the number of failures
    QString output; // standard output and error, for the failure message
    bool passed() const { return started && exitCode == 0; }
};

// True inside a child started by rerunInChild().
bool isChildRun();

// Runs "function:data tag" of this test program with the extra environment entries
// ("NAME=value"), behind `prefix` (a command and its arguments that run the rest, such as
// otherUserPrefix()). Waits for the end, at most two minutes.
ChildRun rerunInChild(const QString &testRow, const QStringList &environment,
                      const QStringList &prefix = {});

// A command prefix that runs a program as user and group `id` with no supplementary groups,
// through setpriv; empty unless this process runs as root and setpriv is installed.
QStringList otherUserPrefix(unsigned id = 65534);

#endif // CHILDRUN_H
