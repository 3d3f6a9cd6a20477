// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/icon_files.h"

namespace volnar {
namespace {

QString IconPath(QStringView name) {
    return QStringLiteral(":/icons/%1.svg").arg(name);
}

}  // namespace

QIcon IconFile(QStringView name) {
    return QIcon(IconPath(name));
}

QPixmap PixmapFile(QStringView name) {
    return QPixmap(IconPath(name));
}

}  // namespace volnar
