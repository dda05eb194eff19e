// A mark kept beside a line while a program of ours has it open.
//
// A program that ends without closing its port (killed, crashed, the
// machine's power button) may leave the device owing replies to frames it
// sent, and those replies still arrive after the next program opened the
// port. A clean close waits for what is owed and then removes the mark; so
// whoever opens a line and finds the mark knows the last user did not end
// cleanly, and listens until the line has been quiet for long enough before
// sending anything. Without the mark the line is known clean and costs
// nothing at open.
#pragma once

#include <string>

namespace zave {

class LineRecord {
public:
    // Where the marks live: a per-user runtime folder (a temporary folder on
    // Windows).
    static std::string folder();

    // True when the last program to open `portName` did not close it
    // cleanly. The mark is kept: it now stands for this opener.
    static bool leftInUse(const std::string& portName);
    // Made right after the port opened, before anything is sent.
    static void markInUse(const std::string& portName);
    // Removed once the line was closed with nothing owed.
    static void clear(const std::string& portName);
};

}  // namespace zave
