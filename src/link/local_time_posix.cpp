#include <ctime>

#include "link/host.h"

namespace zave {

static_assert(sizeof(time_t) >= 8, "local time needs a 64-bit time_t to go past 2038");

LocalTime systemLocalTime() {
    const time_t now = ::time(nullptr);
    struct tm parts {};
    LocalTime t;
    if (::localtime_r(&now, &parts) == nullptr) return t;
    t.year = int64_t(parts.tm_year) + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;  // a leap second reads as :59
    t.dayOfWeek = parts.tm_wday;                        // 0 = Sunday
    return t;
}

}  // namespace zave
