// The core's event pump: the window repaints while connect holds the thread.
#pragma once

#include "link/host.h"

// Processes the pending events once, dropping them as PendingEventFilter
// does, so that the window repaints (the "Ждите!!!" line of connect).
class QtEventPump final : public zave::EventPump {
public:
    void dropPendingEvents(int maxEvents) override;
};
