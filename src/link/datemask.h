#pragma once

#include <string>
#include <string_view>

#include "link/host.h"

namespace zave {

// "%yyyy" four-digit year; "%dd", "%mm", "%hh", "%ii", "%ss" day, month,
// hours, minutes, seconds with two digits; every other character copied.
std::string formatDateMask(std::string_view mask, const LocalTime& t);

// The stamped log line: "%hh:%ii:%ss ->" directly followed by text.
std::string stampedLogText(const LocalTime& t, std::string_view text);

}  // namespace zave
