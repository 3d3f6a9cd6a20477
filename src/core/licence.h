// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace volnar {

// What every program's --version says after its version line.
inline constexpr char kLicenceText[] =
    "License GPL-3.0-or-later: GNU GPL version 3 or later "
    "<https://www.gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

}  // namespace volnar
