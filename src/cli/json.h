// A program as JSON: every slot, enabled or not, the sound settings and the
// faults of every day.
#pragma once

#include <string>
#include <string_view>

#include "schedule/document.h"

namespace zave::cli {

// A JSON string literal for UTF-8 text.
std::string jsonString(std::string_view text);

// The document as one JSON object, indented, ending in a line break.
std::string programJson(const ScheduleDocument& doc);

}  // namespace zave::cli
