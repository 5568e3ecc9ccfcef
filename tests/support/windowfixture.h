#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

#include "scriptablemeter.h"
#include "widget.h"
#include "windowprobe.h"

#include <QString>
#include <functional>
#include <memory>

// Window tests build the real main window on the scriptable test meter that sits in the
// test binaries' Lib/ folder (see scriptablemeter.h), and look at it with the probes of
// windowprobe.h. Link `meter_test_window` (it brings the probes and meter_core, and makes
// sure the plug-in is built).
//
//     auto window = makeTestWindow([](ScriptableMeter *m) { m->setAdapterPresent(false); });
//     QVERIFY(!action(window.get(), "actionConnect")->isEnabled());
//
// Every window test process shares the folder's options.xml, which the window reads when it
// is shown and writes when it is closed: meter_add_test() gives such suites the CTest
// property RESOURCE_LOCK meter_options_file so that they never run at the same time.

// The test meter of this process, loaded from Lib/ on first use (the window later gets the
// same instance); null when the plug-in is missing.
ScriptableMeter *scriptableMeter();

// Resets the test meter (link closed, adapter present, every answer on, empty call log),
// lets `prepare` script it, then builds a main window. With `show` the window is shown and
// exposed before it is returned. Zero-delay work of the construction has run.
std::unique_ptr<Widget> makeTestWindow(const std::function<void(ScriptableMeter *)> &prepare = {},
                                       bool show = false);

// Sets the window's temperature unit (0 Celsius, 1 Fahrenheit) the way a meter does, with a
// parameter record, and waits until the window has taken it and knows its text.
bool setUnit(Widget *window, int unit);

// options.xml beside the test executables.
QString testOptionsFilePath();

#endif // WINDOWFIXTURE_H
