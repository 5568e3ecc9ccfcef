#include "linkplugin.h"

LinkPlugin::LinkPlugin()
{
    setObjectName(QStringLiteral("link"));
}
