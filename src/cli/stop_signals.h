// Ctrl+C and SIGTERM end zavectl at once, wherever it is (also while it
// waits for a reply from a silent device), by the signal itself, so that a
// shell sees 130 or 143 and a loop over ports stops. What the operator must
// know (a write cut short) is said first.
#pragma once

#include <string>

namespace zave::cli {

// Installs the handling; call once at the start of main, before any thread.
void installStopSignals();

// The line printed on standard error if a signal ends the program from now
// on ("zavectl: " is put before it); empty: only "zavectl: прервано".
void setStopNotice(const std::string& text);

}  // namespace zave::cli
