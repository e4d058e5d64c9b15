#pragma once

// QCustomPlot's header, whose classes use Qt's keywords "signals" and "foreach", which this
// project turns off for its own code (QT_NO_KEYWORDS): here they mean what Qt means by them.
#define signals Q_SIGNALS
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef foreach
#undef signals
