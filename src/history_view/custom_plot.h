// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// QCustomPlot's header uses Qt's lower-case keywords, which this project
// turns off (QT_NO_KEYWORDS): they are lent to it for the include only.
#define signals Q_SIGNALS
#define slots Q_SLOTS
#define emit Q_EMIT
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef emit
#undef foreach
