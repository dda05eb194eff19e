// The history of a plan: one JSON line per write, verify or clock change
// that zavectl made on a device, appended to a file, so that "who changed
// the bells, and when" has an answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "schedule/compare.h"
#include "schedule/document.h"

namespace zave {

inline constexpr int kHistoryFormat = 1;

enum class HistoryEvent { Write, Verify, Clock };

struct HistoryEntry {
    std::string time;     // local time of the computer, "2026-12-09T00:05:12"
    std::string command;  // "apply", "write", "sync-clock"
    std::string device;   // the plan's name for it; empty outside a plan
    std::string port;
    HistoryEvent event = HistoryEvent::Write;
    bool ok = false;
    std::string date;     // apply: the date the week was composed for
    std::string program;  // write: the program file written
    // Write and verify: what the device held and what it was given.
    std::optional<ScheduleDocument> before;
    std::optional<ScheduleDocument> after;
    std::vector<DocumentDifference> differences;
    std::optional<int64_t> drift;  // Clock: device minus computer, seconds, before the change
    std::string detail;            // why it failed, if it did
};

// The entry as one line of JSON (no line break).
std::string historyLine(const HistoryEntry& entry);

// Appends the line and a line break to the file (created when missing).
// False when that could not be done.
bool appendHistoryLine(const std::string& path, const std::string& line);
// Whether lines can be appended: the file is opened for appending (and
// created, empty, when missing) and closed again.
bool historyAppendable(const std::string& path);

// A history line as read back: its fields, for showing.
struct HistoryRecord {
    std::string time, command, device, port, event, date, detail;
    bool ok = false;
    std::optional<int64_t> drift;
    std::vector<std::string> changes;  // "Вторник, слот 3: 08:00 вкл. 50% -> 08:15 вкл. 50%"
    std::string json;                  // the line itself
};

struct HistoryRead {
    std::vector<HistoryRecord> records;
    std::vector<std::string> errors;  // "строка 7: ..." for lines that are no history entry
    bool opened = false;
};

HistoryRead parseHistory(const std::string& text);
HistoryRead readHistoryFile(const std::string& path);

}  // namespace zave
