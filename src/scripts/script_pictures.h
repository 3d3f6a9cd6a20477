// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>

// The script screens' pictures, from the icon files: the decorations beside
// the list's two Add buttons (a relay, and up and down arrows, each beside a
// page and pencil), also the windows' icons.
namespace volnar::scripts {

QPixmap RelayScriptPicture();
QPixmap IoScriptPicture();

}  // namespace volnar::scripts
