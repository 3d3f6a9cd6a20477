// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/list_pictures.h"

#include "resources/icon_files.h"

namespace volnar {

QList<QPixmap> ListActionImages() {
    return {PixmapFile(u"list-execute"), PixmapFile(u"list-delete"), PixmapFile(u"list-edit")};
}

}  // namespace volnar
