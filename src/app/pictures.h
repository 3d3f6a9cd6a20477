// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace volnar {

// The client's own small pictures, loaded from the icon files: the window
// icon, the thermometer, the five alarm pins and the RDB database.
enum class Picture { Application, Thermometer, AlarmPin, Database };

// `pin` (alarm pins only) is 0 to 4.
QIcon MakePicture(Picture picture, int pin = 0);

}  // namespace volnar
