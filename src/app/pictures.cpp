// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pictures.h"

#include "resources/icon_files.h"

namespace volnar {

QIcon MakePicture(Picture picture, int pin) {
    switch (picture) {
        case Picture::Application:
            return IconFile(u"volnar");
        case Picture::Thermometer:
            return IconFile(u"thermometer");
        case Picture::AlarmPin:
            return IconFile(QStringLiteral("alarm-pin-%1").arg((pin % 5 + 5) % 5 + 1));
        case Picture::Database:
            return IconFile(u"database");
    }
    return {};
}

}  // namespace volnar
