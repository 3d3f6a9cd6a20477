// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace volnar {

// The eight lists of alerts and scripts a channel's triggers fire, in the
// order the settings record and the channel record carry their id lists.
enum class ActionsList : int {
    HighAlerts,
    HighNormalAlerts,
    HighScripts,
    HighNormalScripts,
    LowAlerts,
    LowNormalAlerts,
    LowScripts,
    LowNormalScripts,
};
inline constexpr std::size_t kActionsListCount = 8;
using IdLists = std::array<std::vector<int>, kActionsListCount>;

}  // namespace volnar
