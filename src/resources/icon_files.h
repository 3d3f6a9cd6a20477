// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QStringView>

namespace volnar {

// The client's icons are SVG files compiled in under :/icons/ (see
// CMakeLists.txt beside this file). `name` is the file's name without
// ".svg": "thermometer", "list-edit" ...
// Scalable, for windows and buttons.
QIcon IconFile(QStringView name);
// At the file's own size, for decorations and grid cells.
QPixmap PixmapFile(QStringView name);

}  // namespace volnar
