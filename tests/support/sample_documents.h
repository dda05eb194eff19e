// Schedule documents for tests that write a program and read it back.
#pragma once

#include "schedule/document.h"

namespace zave::testing {

// A document that uses every day and slot: enabled and disabled slots, all
// hours and minutes spread over their range, and volumes shifted by `round`
// so that three rounds cover every percent 0..100.
ScheduleDocument richDocument(int round);

// A document clearly different from the rich ones.
ScheduleDocument otherDocument();

}  // namespace zave::testing
