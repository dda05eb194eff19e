#include "schedule/ptm_codec.h"

#include <algorithm>
#include <array>

#include "schedule/cp1251.h"

namespace zave {

namespace {

// ---- writing ---------------------------------------------------------------

void appendLine(std::vector<uint8_t>& out, std::string_view text) {
    const std::string bytes = ptmLineBytes(text);
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.push_back(0x0D);
    out.push_back(0x0A);
}

// ---- reading ---------------------------------------------------------------

class SpanSource final : public ByteSource {
public:
    explicit SpanSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    long long read(uint8_t* buffer, size_t max) override {
        const size_t n = std::min(max, bytes_.size());
        std::copy_n(bytes_.begin(), n, buffer);
        bytes_ = bytes_.subspan(n);
        return static_cast<long long>(n);
    }

private:
    std::span<const uint8_t> bytes_;
};

// Buffered, forward-only reading with one byte of look-ahead and a limit on
// the bytes taken from the source in all; at the limit the data ends.
class ByteReader {
public:
    explicit ByteReader(ByteSource& source) : source_(source) {}

    void setLimit(size_t limit) { limit_ = limit; }
    bool failed() const { return failed_; }

    int get() {
        if (cur_ == end_ && !refill()) return -1;
        return *cur_++;
    }
    int peek() {
        if (cur_ == end_ && !refill()) return -1;
        return *cur_;
    }

private:
    bool refill() {
        if (failed_ || atEnd_ || taken_ >= limit_) return false;
        const size_t want = std::min(buffer_.size(), limit_ - taken_);
        const long long n = source_.read(buffer_.data(), want);
        if (n <= 0 || static_cast<unsigned long long>(n) > want) {
            failed_ = n != 0;
            atEnd_ = true;
            return false;
        }
        taken_ += static_cast<size_t>(n);
        cur_ = buffer_.data();
        end_ = buffer_.data() + n;
        return true;
    }

    ByteSource& source_;
    std::array<uint8_t, 4096> buffer_{};
    const uint8_t* cur_ = nullptr;
    const uint8_t* end_ = nullptr;
    size_t taken_ = 0;
    size_t limit_ = kPtmReadLimit;
    bool failed_ = false;
    bool atEnd_ = false;
};

// One text line without its end (CR LF, lone CR or lone LF). At most
// kPtmLineLimit bytes are kept; the rest of a longer line is skipped.
// Past the end of the data the line is empty.
std::string readLine(ByteReader& in) {
    std::string line;
    for (;;) {
        const int c = in.get();
        if (c < 0 || c == 0x0A) break;
        if (c == 0x0D) {
            if (in.peek() == 0x0A) in.get();
            break;
        }
        if (line.size() < kPtmLineLimit) line.push_back(static_cast<char>(c));
    }
    return line;
}

int readByte(ByteReader& in) {
    const int c = in.get();
    return c < 0 ? 0 : c;
}

int32_t readSignedByte(ByteReader& in) {
    return static_cast<int8_t>(static_cast<uint8_t>(readByte(in)));
}

}  // namespace

std::string ptmLineText(std::string_view lineBytes) { return cp1251ToUtf8(lineBytes); }

std::string ptmLineBytes(std::string_view text) {
    std::string bytes = utf8ToCp1251(text);
    for (char& c : bytes)
        if (c == '\r' || c == '\n') c = '?';
    return bytes;
}

std::vector<uint8_t> encodeDocument(const ScheduleDocument& doc) {
    std::vector<uint8_t> out;
    out.reserve(kPtmFormatWindow + kPtmSlotBlockSize + 64);
    appendLine(out, kPtmFormatLine);
    const bool dayValid = doc.currentDay >= 1 && doc.currentDay <= kDayCount;
    appendLine(out, dayValid ? kDayNames[static_cast<size_t>(doc.currentDay - 1)] : "");
    for (const DayPlan& plan : doc.days) {
        for (const TimeSlot& slot : plan.slots) {
            out.push_back(static_cast<uint8_t>(slot.enabled & 0xFF));
            out.push_back(static_cast<uint8_t>(slot.hour & 0xFF));
            out.push_back(static_cast<uint8_t>(slot.minute & 0xFF));
            out.push_back(static_cast<uint8_t>(slot.volume & 0xFF));
        }
    }
    const bool typeValid = doc.soundType >= 1 && doc.soundType <= static_cast<int>(kSoundTypeNames.size());
    appendLine(out, typeValid ? kSoundTypeNames[static_cast<size_t>(doc.soundType - 1)] : "");
    appendLine(out, doc.pulseSwitchTime);
    out.push_back(doc.soundDisabled != 0 ? 1 : 0);
    return out;
}

DocumentReadStatus decodeDocument(ByteSource& source, ScheduleDocument& doc) {
    ByteReader in(source);
    ScheduleDocument work = doc;

    // However long the first line is, it is judged on its first bytes.
    in.setLimit(kPtmFormatWindow);
    const std::string format = readLine(in);
    if (in.failed()) return DocumentReadStatus::OpenFailed;
    if (format != kPtmFormatLine) return DocumentReadStatus::BadFormat;
    in.setLimit(kPtmReadLimit);

    const int day = dayNumberByName(ptmLineText(readLine(in)));
    if (day != 0) work.currentDay = day;

    for (DayPlan& plan : work.days) {
        for (TimeSlot& slot : plan.slots) {
            slot.enabled = readSignedByte(in);
            slot.hour = readSignedByte(in);
            slot.minute = readSignedByte(in);
            slot.volume = readSignedByte(in);
        }
    }

    const int type = soundTypeByName(ptmLineText(readLine(in)));
    if (type != 0) work.soundType = type;

    work.pulseSwitchTime = ptmLineText(readLine(in));
    work.soundDisabled = readByte(in);

    // A read error half way leaves the document as it was rather than
    // taking the missing part for zeros.
    if (in.failed()) return DocumentReadStatus::OpenFailed;
    doc = std::move(work);
    return DocumentReadStatus::Ok;
}

DocumentReadStatus decodeDocument(std::span<const uint8_t> bytes, ScheduleDocument& doc) {
    SpanSource source(bytes);
    return decodeDocument(source, doc);
}

}  // namespace zave
