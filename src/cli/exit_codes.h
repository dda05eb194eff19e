// What zavectl's exit status means; the same list is in its help text.
#pragma once

namespace zave::cli {

enum ExitCode : int {
    kExitOk = 0,          // success
    kExitFaults = 1,      // faults in a program, or differences found
    kExitUsage = 2,       // bad usage, or a file that cannot be read or written
    kExitDevice = 3,      // the device or the link failed
};

// The worse of two outcomes: device failure over usage over faults over success.
inline int worseExit(int a, int b) { return a > b ? a : b; }

}  // namespace zave::cli
