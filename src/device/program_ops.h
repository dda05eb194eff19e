// Program write and program read with progress and the Stop check.
#pragma once

#include <string_view>

#include "link/exchange.h"
#include "link/host.h"
#include "link/serial_port.h"
#include "schedule/document.h"

namespace zave {

// The progress window "Обмен данными" and the operation's hold on events.
class ProgressUi {
public:
    virtual ~ProgressUi() = default;
    virtual void openProgressWindow() = 0;   // disables the main window
    virtual void closeProgressWindow() = 0;  // enables it again
    virtual void setProgress(int value) = 0;
    // Takes every pending window event; true when one was a click on "Стоп".
    // All other events, timer ticks included, are dropped.
    virtual bool stopRequested() = 0;
};

struct DeviceOperationContext {
    ExchangeEngine& engine;
    LogSink& log;
    MessageBoxes& boxes;
    ProgressUi& progress;
};

// What the write says when the program has faults.
inline constexpr std::string_view kWriteGateTitle = "Внимание!";
inline constexpr std::string_view kWriteGateText =
    "В составленной программе обнаружены ошибки.\nСистема запрещает производить некорректную запись\n";

// The progress bar after `step` accepted frames: step x 3.5, ties to even
// (1 -> 4, 2 -> 7, 3 -> 10, ..., 28 -> 98).
int programProgressValue(int step);

// Returns true when all 28 frames were accepted. Silent when the line is closed.
bool writeProgram(DeviceOperationContext& ctx, const SerialPort& line, const ScheduleDocument& doc,
                  bool documentIsWritable);
// Like writeProgram, without the gate, but sends only the frames that carry
// other bytes than the same frames of `held`, the program the device was
// read to hold: a device that holds it already gets no frame at all.
bool writeProgramChanges(DeviceOperationContext& ctx, const SerialPort& line, const ScheduleDocument& doc,
                         const ScheduleDocument& held);
// Replaces the schedule only after all 27 table queries were accepted, the
// settings after query 28. The caller refreshes the editor afterwards.
bool readProgram(DeviceOperationContext& ctx, const SerialPort& line, ScheduleDocument& doc);

}  // namespace zave
