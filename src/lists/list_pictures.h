// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPixmap>

namespace volnar {

// The three 16 x 16 action images of the station table lists, from the icon
// files: 0 execute (a green play arrow), 1 delete (a red cross), 2 edit (a
// green question mark).
QList<QPixmap> ListActionImages();

}  // namespace volnar
