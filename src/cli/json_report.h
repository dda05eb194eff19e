// zavectl's JSON: every --json report comes from here, written with
// nlohmann::json. Each report is one object that starts with "format"
// (1, raised only when a field changes meaning or goes), "version" (of
// zavectl) and "command"; the fields of each command are in the manual page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "schedule/compare.h"
#include "schedule/document.h"
#include "schedule/validation.h"

namespace zave::cli {

// Keeps the fields in the order they were added.
using Json = nlohmann::ordered_json;

inline constexpr int kJsonFormat = 1;

// zavectl's version, "1.07".
std::string_view zavectlVersion();

// {"format": 1, "version": "1.07", "command": command}
Json jsonReport(std::string_view command);

// The program: the day shown, the sound settings, every slot of every day
// (enabled or not) and every fault.
Json programJson(const ScheduleDocument& doc);

// One fault: {"day", "dayName", "kind", "slots", "message"}.
Json faultJson(const DocumentFault& fault);
Json faultsJson(const std::vector<DocumentFault>& faults);

// One difference between `a` and `b`, the two sides named by `aName` and
// `bName` ("a"/"b" for diff, "file"/"device" for verify):
// {"kind": "slot", "day", "dayName", "slot", aName: {slot}, bName: {slot}}
// or {"kind": "soundType"|"pulseSwitchTime"|"soundDisabled", aName, bName}.
Json differencesJson(const ScheduleDocument& a, const ScheduleDocument& b,
                     const std::vector<DocumentDifference>& differences, const char* aName, const char* bName);

// The report as text: indented by two, one line break at the end. Bytes
// that are not UTF-8 (a file name) are replaced, never a failure.
std::string jsonText(const Json& report);

}  // namespace zave::cli
