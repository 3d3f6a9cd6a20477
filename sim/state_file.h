// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "station_model.h"

namespace volnar::sim {

// Loads the state file into model; a missing file is created from model as
// it stands. A file that exists but cannot be read or parsed is an error and
// is left untouched.
bool LoadOrCreateState(const std::string& path, StationModel& model, std::string* error);

// Writes the state through a temporary file and a rename, so a reader never
// sees half a file.
bool SaveState(const std::string& path, const StationModel& model, std::string* error);

}  // namespace volnar::sim
