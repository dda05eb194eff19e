// The command line of zave-devsim.
#pragma once

#include <string>

#include "device_model.h"

namespace zave::devsim {

struct Options {
    std::string port = "COM200";
    int type = 24;
    std::string stateFile;
    // Wait before answering a frame: a fixed time, or one drawn afresh for
    // every frame between the two (from a generator seeded with `seed`).
    long delayMinMs = 0;
    long delayMaxMs = 0;
    unsigned long seed = 1;
    long delayFrames = -1;  // only the first N frames received are delayed (-1: all)
    long pace = 0;
    // An answer goes out in this many pieces with a pause after each but the last.
    long splitPieces = 1;
    long splitPauseMs = 0;
    // Every answer sent a second time this many ms after the first (-1: once).
    long twiceAfterMs = -1;
    // A lone "#\r" sent this many ms after every strayEvery-th answer (0: never).
    long strayEvery = 0;
    long strayAfterMs = 0;
    Faults faults;
};

[[noreturn]] void fail(const std::string& message);
Options parseOptions(int argc, char** argv);

}  // namespace zave::devsim
