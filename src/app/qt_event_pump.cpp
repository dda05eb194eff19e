#include "app/qt_event_pump.h"

#include "app/pending_event_filter.h"

void QtEventPump::dropPendingEvents(int maxEvents) {
    if (maxEvents <= 0) return;
    PendingEventFilter filter(PendingEventFilter::Mode::Drain);
    filter.drain();
}
