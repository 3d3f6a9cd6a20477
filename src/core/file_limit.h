// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace volnar {

// Raises this process's soft limit of open files to its hard limit: every
// polled station holds a socket, and the usual soft limit of 1,024 is far
// below what a fleet needs (the hard limit is commonly 524,288). Returns the
// soft limit in force afterwards, 0 when it cannot be read.
std::uint64_t RaiseOpenFileLimit();

}  // namespace volnar
