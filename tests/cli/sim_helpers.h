// Helpers of the zavectl tests that talk to the simulator.
#pragma once

#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "device/program_image.h"
#include "schedule/ptm_codec.h"

namespace zave::testing {

// The lines without the log's time stamp ("09:05:03 ->").
inline std::vector<std::string> unstamped(const std::vector<std::string>& lines) {
    static const std::regex stamp("^[0-9]{2}:[0-9]{2}:[0-9]{2} ->");
    std::vector<std::string> out;
    for (const std::string& line : lines) out.push_back(std::regex_replace(line, stamp, "<t>"));
    return out;
}

// A simulator state file holding the image of doc and a clock that runs
// `clockOffset` seconds ahead of the computer's.
inline std::string simulatorState(const ScheduleDocument& doc, int64_t clockOffset) {
    const ProgramImage image = buildProgramImage(doc);
    std::string text = "zave-devsim state 1\n";
    auto table = [&](const char* name, const std::array<int32_t, 91>& values) {
        text += name;
        for (int k = 1; k <= kImageEntries; ++k) text += " " + std::to_string(values[static_cast<size_t>(k)]);
        text += "\n";
    };
    table("hour", image.hourTable);
    table("minute", image.minuteTable);
    table("volume", image.volumeTable);
    text += "settings " + std::to_string(image.settingsBlock[0]) + " " + std::to_string(image.settingsBlock[1]) + " " +
            std::to_string(image.settingsBlock[2]) + "\n";
    text += "clock " + std::to_string(clockOffset) + " 0\n";
    return text;
}

// Sets the n-th number (1-based) of the line that starts with `name` in a
// simulator state text; false when there is no such number.
inline bool editStateValue(std::string& state, const std::string& name, int n, int value) {
    std::istringstream in(state);
    std::string line, out;
    bool done = false;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (!w.empty() && w[0] == name && n >= 1 && static_cast<size_t>(n) < w.size()) {
            w[static_cast<size_t>(n)] = std::to_string(value);
            line.clear();
            for (const std::string& word : w) line += (line.empty() ? "" : " ") + word;
            done = true;
        }
        out += line + "\n";
    }
    state = out;
    return done;
}

// The drift printed by status or sync-clock ("Расхождение: +7 с ..."), or a
// value far out of any range when there is none.
inline long long printedDrift(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string label = "Расхождение:";
        if (line.rfind(label, 0) != 0) continue;
        return std::stoll(line.substr(line.find_first_not_of(' ', label.size())));
    }
    return 1LL << 40;
}

}  // namespace zave::testing
