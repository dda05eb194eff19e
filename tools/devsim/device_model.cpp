#include "device_model.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "link/frame.h"

namespace zave::devsim {

namespace {

constexpr int kEntries = 84;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The bytes of a frame body (the checksum included); nullopt unless every
// character is a hex digit and the checksum matches.
std::optional<std::vector<int>> frameBytes(const std::string& frame) {
    if (frame.size() % 2 != 0 || frame.size() < 4) return std::nullopt;
    std::vector<int> bytes;
    for (size_t i = 0; i < frame.size(); i += 2) {
        const int hi = hexValue(frame[i]), lo = hexValue(frame[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(hi * 16 + lo);
    }
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < frame.size(); ++i) sum += static_cast<unsigned char>(frame[i]);
    if (int(sum & 0xFF) != bytes.back()) return std::nullopt;
    bytes.pop_back();
    return bytes;
}

// Local calendar seconds: the local time's fields read as if they were UTC,
// so that the device clock runs without daylight-saving jumps of its own.
int64_t localSeconds(time_t t) {
    struct tm local {};
    localtime_r(&t, &local);
    return int64_t(timegm(&local));
}

// 1 = Monday .. 7 = Sunday
int weekdayOf(const struct tm& t) { return (t.tm_wday + 6) % 7 + 1; }

bool isCommandCode(int code) { return code == 0x01 || (code >= 0x04 && code <= 0x08); }
bool isQueryCode(int code) { return code == 0x80 || (code >= 0x83 && code <= 0x86); }

}  // namespace

DeviceModel::DeviceModel(int deviceType, Faults faults) : type_(deviceType), faults_(std::move(faults)) {}

Answer DeviceModel::handleFrame(const std::string& frame) {
    ++frames_;
    if (frame == lastFrame_) ++sameInRow_;
    else {
        lastFrame_ = frame;
        sameInRow_ = 1;
    }

    Answer answer;
    if (faults_.silent || (faults_.muteAfter >= 0 && frames_ > faults_.muteAfter)) return answer;
    if (faults_.dropEvery > 0 && frames_ % faults_.dropEvery == 0) {
        answer.trace.push_back("dropped");
        return answer;
    }

    const std::string end = faults_.noTerminator ? "" : "\r";
    const std::string refusal = "of#" + end;
    std::optional<std::vector<int>> bytes;
    if (frame.size() == 28 || frame.size() == 8) bytes = frameBytes(frame);
    const bool command = bytes && frame.size() == 28 && isCommandCode((*bytes)[0]);
    const bool query = bytes && frame.size() == 8 && isQueryCode((*bytes)[0]);
    if (!command && !query) {
        answer.send = true;
        answer.reply = refusal;
        return answer;
    }
    if (sameInRow_ <= faults_.failFirst || faults_.refuseCodes.count((*bytes)[0]) > 0) {
        answer.send = true;
        answer.reply = refusal;
        return answer;
    }
    const int code = (*bytes)[0];
    if (command) {
        std::array<int, 13> b{};
        for (size_t i = 0; i < 13; ++i) b[i] = (*bytes)[i];
        answer = handleCommand(code, b);
    } else {
        answer = handleQuery(code, (*bytes)[1], (*bytes)[2]);
    }
    if (faults_.noTerminator && !answer.reply.empty() && answer.reply.back() == '\r') answer.reply.pop_back();
    return answer;
}

std::string DeviceModel::acceptance(int code) {
    const bool applies = (faults_.eepromOs || faults_.eepromOl) &&
                         (faults_.eepromCodes.empty() || faults_.eepromCodes.count(code) > 0) &&
                         (faults_.eepromTimes < 0 || eepromUsed_ < faults_.eepromTimes);
    if (!applies) return "on#";
    ++eepromUsed_;
    std::string tokens = faults_.eepromAccept ? "on#" : "";
    if (faults_.eepromOs) tokens += "os#";
    if (faults_.eepromOl) tokens += "ol#";
    return tokens;
}

Answer DeviceModel::handleCommand(int code, const std::array<int, 13>& b) {
    Answer answer;
    answer.send = true;
    const std::string refusal = "of#\r";
    auto inRange = [](int v, int lo, int hi) { return v >= lo && v <= hi; };

    // Validate before anything is stored.
    switch (code) {
    case 0x01:
        if (!inRange(b[1], 0, 59) || !inRange(b[2], 0, 59) || !inRange(b[3], 0, 23) || !inRange(b[4], 1, 7) ||
            !inRange(b[5], 1, 31) || !inRange(b[6], 1, 12)) {
            answer.reply = refusal;
            return answer;
        }
        break;
    case 0x04:
    case 0x05:
    case 0x06:
        if (!inRange(b[1], 1, kEntries) || !inRange(b[2], b[1], kEntries) || b[2] - b[1] + 1 > 10) {
            answer.reply = refusal;
            return answer;
        }
        break;
    default: break;
    }

    const std::string tokens = acceptance(code);
    answer.reply = tokens + "\r";
    if (tokens != "on#") return answer;  // a damaged EEPROM stores nothing

    switch (code) {
    case 0x01: {
        struct tm t {};
        t.tm_sec = b[1];
        t.tm_min = b[2];
        t.tm_hour = b[3];
        t.tm_mday = b[5];
        t.tm_mon = b[6] - 1;
        t.tm_year = 100 + b[7];
        const int64_t device = int64_t(timegm(&t));  // also normalises 31 April
        clockOffset_ = device - localSeconds(hostNow());
        weekdayShift_ = ((b[4] - weekdayOf(t)) % 7 + 7) % 7;
        char line[96];
        std::snprintf(line, sizeof line, "clock %04d-%02d-%02d %02d:%02d:%02d weekday=%d", 2000 + b[7], b[6], b[5],
                      b[3], b[2], b[1], b[4]);
        answer.trace.push_back(line);
        answer.stateChanged = true;
        break;
    }
    case 0x04:
    case 0x05:
    case 0x06: {
        auto& table = code == 0x04 ? hour_ : code == 0x05 ? minute_ : volume_;
        for (int k = b[1]; k <= b[2]; ++k) table[size_t(k)] = b[size_t(3 + k - b[1])];
        answer.trace.push_back(std::string(code == 0x04 ? "hour" : code == 0x05 ? "minute" : "volume") + " " +
                               std::to_string(b[1]) + ".." + std::to_string(b[2]));
        answer.stateChanged = true;
        break;
    }
    case 0x07:
        settings_ = {b[1], b[2], b[3]};
        answer.trace.push_back("settings " + std::to_string(b[1]) + " " + std::to_string(b[2]) + " " +
                               std::to_string(b[3]));
        answer.stateChanged = true;
        break;
    case 0x08:
        answer.trace.push_back("sim level=" + std::to_string(b[1]) + " off=" + std::to_string(b[2]) +
                               " signal=" + std::to_string(b[3]));
        break;
    default: break;
    }
    return answer;
}

std::array<int, 10> DeviceModel::statusData() {
    const int64_t device = localSeconds(hostNow()) + clockOffset_;
    const time_t asTime = time_t(device);
    struct tm t {};
    gmtime_r(&asTime, &t);
    const int year = t.tm_year + 1900;
    int hour = t.tm_hour, day = t.tm_mday, month = t.tm_mon + 1;
    ++statusCount_;
    const bool odd = statusCount_ % 2 == 1;
    switch (faults_.badClock) {
    case BadClock::None: break;
    case BadClock::Hour: hour = 24; break;
    case BadClock::April: day = 31, month = 4; break;
    case BadClock::Alternate:
        if (odd) hour = 24;
        else day = 31, month = 4;
        break;
    case BadClock::Both: hour = 24, day = 31, month = 4; break;
    }
    const int weekday = (weekdayOf(t) - 1 + weekdayShift_) % 7 + 1;
    const int yearByte = year < 2000 ? 0 : year - 2000 > 255 ? 255 : year - 2000;
    return {type_, t.tm_sec, t.tm_min, hour, weekday, day, month, yearByte, 0, 0};
}

std::string DeviceModel::queryReply(const std::array<int, 10>& data) const {
    std::string digits;
    for (int v : data) digits += renderByte(v);
    unsigned sum = 0;
    for (unsigned char c : digits) sum += c;
    if (faults_.badChecksum) ++sum;
    return digits + renderByte(sum & 0xFF);
}

Answer DeviceModel::handleQuery(int code, int p1, int p2) {
    Answer answer;
    answer.send = true;
    std::array<int, 10> data{};
    switch (code) {
    case 0x80: data = statusData(); break;
    case 0x83:
    case 0x84:
    case 0x85: {
        if (p1 < 1 || p1 > kEntries) {
            answer.reply = "of#\r";
            return answer;
        }
        const auto& table = code == 0x83 ? hour_ : code == 0x84 ? minute_ : volume_;
        for (int i = 0; i < 10; ++i) data[size_t(i)] = p1 + i <= kEntries ? table[size_t(p1 + i)] : 0;
        break;
    }
    case 0x86: data = {settings_[0], settings_[1], settings_[2], 0, 0, 0, 0, 0, 0, 0}; break;
    default: answer.reply = "of#\r"; return answer;
    }
    answer.reply = queryReply(data) + acceptance(code) + "\r";
    return answer;
}

bool DeviceModel::load(const std::string& path, std::string& error) {
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) return true;  // nothing saved yet: a fresh device
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::string header;
    std::getline(in, header);
    if (header != "zave-devsim state 1") {
        error = path + ": not a simulator state file";
        return false;
    }
    auto readTable = [&](const char* name, std::array<int, 85>& table) {
        std::string word;
        if (!(in >> word) || word != name) return false;
        for (int k = 1; k <= kEntries; ++k)
            if (!(in >> table[size_t(k)]) || table[size_t(k)] < 0 || table[size_t(k)] > 255) return false;
        return true;
    };
    std::array<int, 85> hour{}, minute{}, volume{};
    std::array<int, 3> settings{};
    int64_t offset = 0;
    int shift = 0;
    std::string word;
    const bool ok = readTable("hour", hour) && readTable("minute", minute) && readTable("volume", volume) &&
                    (in >> word) && word == "settings" && (in >> settings[0] >> settings[1] >> settings[2]) &&
                    (in >> word) && word == "clock" && (in >> offset >> shift) && shift >= 0 && shift < 7;
    if (!ok) {
        error = path + ": damaged simulator state file";
        return false;
    }
    hour_ = hour;
    minute_ = minute;
    volume_ = volume;
    settings_ = settings;
    clockOffset_ = offset;
    weekdayShift_ = shift;
    return true;
}

bool DeviceModel::save(const std::string& path, std::string& error) const {
    std::ostringstream out;
    out << "zave-devsim state 1\n";
    auto writeTable = [&](const char* name, const std::array<int, 85>& table) {
        out << name;
        for (int k = 1; k <= kEntries; ++k) out << ' ' << table[size_t(k)];
        out << '\n';
    };
    writeTable("hour", hour_);
    writeTable("minute", minute_);
    writeTable("volume", volume_);
    out << "settings " << settings_[0] << ' ' << settings_[1] << ' ' << settings_[2] << '\n';
    out << "clock " << clockOffset_ << ' ' << weekdayShift_ << '\n';
    const std::string text = out.str();

    // Written beside the file and renamed over it: a reader never sees half a state.
    const std::string temp = path + ".tmp." + std::to_string(::getpid());
    FILE* f = std::fopen(temp.c_str(), "w");
    if (f == nullptr) {
        error = temp + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0 &&
                         ::fsync(fileno(f)) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace zave::devsim
