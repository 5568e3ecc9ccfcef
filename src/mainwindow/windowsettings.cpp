#include "widget.h"

// The options and the window layout kept in options.xml, and the options command.

void Widget::saveSettings()
{
    // Not built yet: writes options.xml.
}

void Widget::restoreSettings()
{
    // Not built yet: reads options.xml.
}

void Widget::runOptionsDialog()
{
    // Not built yet: runs the options dialog and restarts the sampling timer.
}
