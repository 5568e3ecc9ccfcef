#include "fullplugin.h"

FullPlugin::FullPlugin()
{
    setObjectName(QStringLiteral(TEST_PLUGIN_TAG));
}
