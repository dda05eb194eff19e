#include "device/program_ops.h"

#include <cmath>
#include <functional>
#include <optional>

#include "device/program_image.h"

namespace zave {

namespace {

constexpr std::string_view kNotDone = " Команда не выполнена";

// Blocks of a table read: first and last entry index.
struct ReadBlock {
    int code;
    int first;
    int last;
};

// Counters of one write or read.
struct StepRunner {
    DeviceOperationContext& ctx;
    int step = 0;

    // One frame or query under the retry rule, with the Stop check before
    // every call. True when the device accepted it; the progress bar then moves on.
    bool run(const std::function<ExchangeResult()>& exchange) {
        const std::optional<ExchangeResult> r =
            exchangeAttempts(exchange, [this] { return ctx.progress.stopRequested(); });
        if (r != ExchangeResult::Ok) return false;
        // A reply that answered no frame puts every answer in doubt.
        if (!ctx.engine.noSurplusSoFar()) return false;
        ++step;
        if (step > 99) step = 0;
        ctx.progress.setProgress(programProgressValue(step));
        return true;
    }
};

std::vector<ReadBlock> tableReadBlocks() {
    std::vector<ReadBlock> blocks;
    for (int code : {ReadHourBlock, ReadMinuteBlock, ReadVolumeBlock})
        for (int block = 0; block < kTableBlockCount; ++block)
            blocks.push_back({code, tableBlock(block).first, tableBlock(block).last});
    return blocks;
}

}  // namespace

int programProgressValue(int step) {
    const double x = step * 3.5;
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff < 0.5) return static_cast<int>(lower);
    if (diff > 0.5) return static_cast<int>(lower) + 1;
    return std::fmod(lower, 2.0) == 0.0 ? static_cast<int>(lower) : static_cast<int>(lower) + 1;
}

namespace {

// Sends the frames one by one under the retry rule; true when every one was
// accepted and every answer was the device's own to its frame, not a reply
// sent twice or a stray one taken in its place.
bool sendWriteFrames(DeviceOperationContext& ctx, const std::vector<ProgramFrame>& frames) {
    StepRunner runner{ctx};
    for (const ProgramFrame& frame : frames)
        if (!runner.run([&] { return ctx.engine.sendCommand(frame.code, frame.params); })) return false;
    return ctx.engine.answersConfirmed();
}

}  // namespace

bool writeProgram(DeviceOperationContext& ctx, const SerialPort& line, const ScheduleDocument& doc,
                  bool documentIsWritable) {
    if (!line.isOpen()) return false;
    ctx.log.logLine(" Старт запись программы", LogMode::Stamped);
    ctx.progress.openProgressWindow();

    bool succeeded = false;
    ctx.engine.beginOperation();
    if (!documentIsWritable)
        ctx.boxes.show(kWriteGateTitle, kWriteGateText, MessageIcon::Warning, MessageButtons::Ok);
    else
        succeeded = sendWriteFrames(ctx, programWriteFrames(buildProgramImage(doc)));

    ctx.log.logLine(succeeded ? " Программа записана" : kNotDone, LogMode::Stamped);
    ctx.progress.closeProgressWindow();
    return succeeded;
}

bool writeProgramChanges(DeviceOperationContext& ctx, const SerialPort& line, const ScheduleDocument& doc,
                         const ScheduleDocument& held) {
    if (!line.isOpen()) return false;
    ctx.log.logLine(" Старт запись программы", LogMode::Stamped);
    ctx.progress.openProgressWindow();
    ctx.engine.beginOperation();
    const bool succeeded =
        sendWriteFrames(ctx, changedWriteFrames(buildProgramImage(doc), buildProgramImage(held)));
    ctx.log.logLine(succeeded ? " Программа записана" : kNotDone, LogMode::Stamped);
    ctx.progress.closeProgressWindow();
    return succeeded;
}

bool readProgram(DeviceOperationContext& ctx, const SerialPort& line, ScheduleDocument& doc) {
    if (!line.isOpen()) return false;
    ctx.log.logLine(" Старт чтения программы", LogMode::Stamped);
    ctx.progress.openProgressWindow();

    // Receive buffers; the last block of each table brings ten bytes, so
    // entries up to 90 are filled (85..90 are never used).
    ProgramImage received;
    StepRunner runner{ctx};
    bool succeeded = true;
    ctx.engine.beginOperation();
    for (const ReadBlock& block : tableReadBlocks()) {
        if (!runner.run([&] { return ctx.engine.sendQuery(block.code, block.first, block.last); })) {
            succeeded = false;
            break;
        }
        ImageTable& buffer = block.code == ReadHourBlock     ? received.hourTable
                                          : block.code == ReadMinuteBlock ? received.minuteTable
                                                                          : received.volumeTable;
        const ReplyData& data = ctx.engine.replyData();
        for (int i = 1; i <= kTableBlockEntries; ++i)
            buffer[static_cast<size_t>(block.first + i - 1)] = data[static_cast<size_t>(i)];
    }

    if (succeeded) {
        const ScheduleDocument before = doc;
        // The schedule is replaced once all three tables are in.
        decodeSchedule(received, doc);
        succeeded = runner.run([&] { return ctx.engine.sendQuery(ReadSettings, 0, 0); });
        if (succeeded) decodeSettings(ctx.engine.replyData(), doc);
        // What was taken in stays only if every answer was the device's own
        // to its query, not a reply sent twice or a stray one in its place.
        if (!ctx.engine.answersConfirmed()) {
            doc = before;
            succeeded = false;
        }
    }

    ctx.log.logLine(succeeded ? " Программа считана" : kNotDone, LogMode::Stamped);
    ctx.progress.closeProgressWindow();
    return succeeded;
}

}  // namespace zave
