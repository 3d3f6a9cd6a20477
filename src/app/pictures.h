#pragma once

#include <QIcon>

namespace volnar {

// The client's own small pictures, drawn rather than shipped: the window
// icon, the thermometer, the five alarm pins and the RDB database.
enum class Picture { Application, Thermometer, AlarmPin, Database };

QIcon MakePicture(Picture picture, int pin = 0);

}  // namespace volnar
