// What the simulated announcer answers: frames in, replies out, with the
// device's tables, settings and clock and the faults it can be told to show.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zave::devsim {

enum class BadClock { None, Hour, April, Alternate, Both };

struct Faults {
    bool silent = false;           // never answer
    long muteAfter = -1;           // stop answering after this many frames (-1: never)
    long failFirst = 0;            // "of#" for the first N arrivals of a frame in a row
    bool eepromOs = false;         // report the microcontroller EEPROM damaged
    bool eepromOl = false;         // report the external EEPROM damaged
    bool eepromAccept = false;     // put "on#" before the EEPROM tokens
    std::set<int> eepromCodes;     // codes the EEPROM fault applies to (empty: all)
    long eepromTimes = -1;         // how many frames get the EEPROM fault (-1: all)
    bool noTerminator = false;     // leave out the final carriage return
    long dropEvery = 0;            // leave every N-th frame unanswered and unused (0: none)
    std::set<int> refuseCodes;     // codes answered "of#" whatever the frame carries
    bool badChecksum = false;      // query replies carry a wrong checksum
    BadClock badClock = BadClock::None;
};

struct Answer {
    bool send = false;            // false: the frame goes unanswered
    std::string reply;            // the text to send
    std::vector<std::string> trace;  // extra trace lines ("sim ...", "clock ...")
    bool stateChanged = false;    // tables, settings or clock changed
};

class DeviceModel {
public:
    DeviceModel(int deviceType, Faults faults);

    // One frame: the characters before the carriage return.
    Answer handleFrame(const std::string& frame);

    // The state file: tables, settings and the clock's offset from the host.
    bool load(const std::string& path, std::string& error);
    bool save(const std::string& path, std::string& error) const;

    // Host clock, replaceable for tests of the clock arithmetic.
    std::function<time_t()> hostNow = [] { return ::time(nullptr); };

private:
    Answer handleCommand(int code, const std::array<int, 13>& bytes);
    Answer handleQuery(int code, int p1, int p2);
    std::string queryReply(const std::array<int, 10>& data) const;
    std::string acceptance(int code);
    std::array<int, 10> statusData();

    int type_;
    Faults faults_;
    std::array<int, 85> hour_{}, minute_{}, volume_{};  // index 1..84
    std::array<int, 3> settings_{};
    int64_t clockOffset_ = 0;   // device local seconds minus host local seconds
    int weekdayShift_ = 0;      // device weekday minus the weekday of its date, mod 7
    long frames_ = 0;
    std::string lastFrame_;
    long sameInRow_ = 0;
    long eepromUsed_ = 0;
    long statusCount_ = 0;
};

}  // namespace zave::devsim
