// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/board_objects.h"

namespace volnar::board {

// Compile-time checks of the catalogue's shape.
static_assert(IsRowOf("1.3.6.1.4.1.32473.3.1.2.72.5", kScriptTable));
static_assert(!IsRowOf("1.3.6.1.4.1.32473.3.1.2.720", kScriptTable));
static_assert(!IsRowOf(kScriptTable, kScriptTable));
static_assert(MemberIndex(kRelayNotes, "1.3.6.1.4.1.32473.3.1.2.76.4") == 4);

}  // namespace volnar::board
