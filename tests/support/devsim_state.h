// The simulator's state file ("zave-devsim state 1"): what a test puts into
// the simulated device before it starts and finds in it after it ended.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zave::testing {

struct DeviceTables {
    std::array<int, 85> hour{}, minute{}, volume{};  // index 1..84
    std::array<int, 3> settings{};
    friend bool operator==(const DeviceTables&, const DeviceTables&) = default;
};

// Writes a state file with these tables and a clock that runs with the host's.
bool writeDevSimState(const std::string& path, const DeviceTables& tables);
// The tables of a state file; nothing when it is missing or damaged.
std::optional<DeviceTables> readDevSimState(const std::string& path);

}  // namespace zave::testing
