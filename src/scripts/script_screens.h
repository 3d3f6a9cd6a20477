// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/list_navigator.h"

namespace volnar::scripts {

// The script list as the station table list shows it ("VOLN Scripts"):
// ID, Type, Name, Description, the Edit, Delete and Execute images, and the
// commands in a hidden column, every field whole.
TableListSettings ScriptListSettings();

// The script screens: the list above, the editor its Add buttons (a new
// relay or I/O script) and its edit image (a listed relay or I/O script) open.
NavigatorSettings ScriptNavigation();

}  // namespace volnar::scripts
