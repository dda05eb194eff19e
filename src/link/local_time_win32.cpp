#include <windows.h>

#include "link/host.h"

namespace zave {

LocalTime systemLocalTime() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.dayOfWeek = st.wDayOfWeek;  // 0 = Sunday
    return t;
}

}  // namespace zave
