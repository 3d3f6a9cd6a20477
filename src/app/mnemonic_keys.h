// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace volnar {

// Alt+letter is a button's mnemonic; when that button is disabled the key
// falls through to the focused edit, which would type the letter (Alt+G
// with General off put a "g" into the station chooser). `edit` (an edit or an editable combo box)
// drops a key pressed with Alt (and neither Ctrl nor Meta) instead. AltGr characters come without
// the Alt modifier on X11 and Wayland and are still typed.
void KeepMnemonicsOut(QWidget* edit);

}  // namespace volnar
