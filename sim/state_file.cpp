// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace volnar::sim {

namespace {

constexpr std::size_t kMaxStateBytes = 256 * 1024 * 1024;

}  // namespace

bool LoadOrCreateState(const std::string& path, StationModel& model, std::string* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return SaveState(path, model, error);
        }
        *error = "cannot read state " + path + ": " + std::strerror(errno);
        return false;
    }
    if (static_cast<std::size_t>(info.st_size) > kMaxStateBytes) {
        *error = "state file " + path + " is too large";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open state " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const auto parsed = ParseJson(text.str());
    if (!parsed.value) {
        *error = "state file " + path + " is not valid JSON: " + parsed.error;
        return false;
    }
    auto loaded = StationModel::FromJson(*parsed.value);
    if (!loaded.model) {
        *error = "state file " + path + ": " + loaded.error;
        return false;
    }
    model = std::move(*loaded.model);
    return true;
}

bool SaveState(const std::string& path, const StationModel& model, std::string* error) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = "cannot write state " + temporary + ": " + std::strerror(errno);
            return false;
        }
        out << model.ToJson().Serialize() << '\n';
        out.flush();
        if (!out) {
            *error = "cannot write state " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot replace state " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace volnar::sim
