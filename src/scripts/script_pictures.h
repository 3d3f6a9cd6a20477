#pragma once

#include <QList>
#include <QPixmap>

// The script dialogs' pictures, drawn rather than loaded: the three 16 x 16
// action images (0 execute, a green play arrow; 1 delete, a red cross; 2 edit,
// a green question mark) and the decorations beside the two Add buttons.
namespace volnar::scripts {

QList<QPixmap> ActionImages();
QPixmap RelayScriptPicture();
QPixmap IoScriptPicture();

}  // namespace volnar::scripts
