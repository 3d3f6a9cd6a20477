// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts/script_pictures.h"

#include "resources/icon_files.h"

namespace volnar::scripts {

QPixmap RelayScriptPicture() {
    return PixmapFile(u"relay-script");
}

QPixmap IoScriptPicture() {
    return PixmapFile(u"io-script");
}

}  // namespace volnar::scripts
