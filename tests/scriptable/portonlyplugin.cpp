#include "portonlyplugin.h"
