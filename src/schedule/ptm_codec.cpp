#include "schedule/ptm_codec.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "schedule/cp1251.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <cstdlib>
#endif

namespace zave {

namespace {

constexpr size_t kSlotBlockSize = static_cast<size_t>(kDayCount) * kSlotCount * 4;

// ---- writing ---------------------------------------------------------------

void appendLine(std::vector<uint8_t>& out, std::string_view bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.push_back(0x0D);
    out.push_back(0x0A);
}

// A line end inside a text would end the line early and shift every field
// after it, so such characters are written as '?' like any other character
// the line cannot hold.
std::string lineText(std::string_view utf8) {
    std::string bytes = utf8ToCp1251(utf8);
    for (char& c : bytes)
        if (c == '\r' || c == '\n') c = '?';
    return bytes;
}

// ---- reading ---------------------------------------------------------------

// A forward-only byte source with one byte of look-ahead. The decoder reads
// through it so that memory and file content are read by the same code.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    int get() {
        if (cur_ == end_ && !refill()) return -1;
        return *cur_++;
    }
    int peek() {
        if (cur_ == end_ && !refill()) return -1;
        return *cur_;
    }
    virtual bool failed() const { return false; }

protected:
    virtual bool refill() = 0;  // makes [cur_, end_) non-empty, or false at the end
    const uint8_t* cur_ = nullptr;
    const uint8_t* end_ = nullptr;
};

class SpanReader final : public ByteReader {
public:
    explicit SpanReader(std::span<const uint8_t> bytes) {
        cur_ = bytes.data();
        end_ = bytes.data() + bytes.size();
    }

protected:
    bool refill() override { return false; }
};

class FileReader final : public ByteReader {
public:
    explicit FileReader(std::FILE* file) : file_(file) {}
    bool failed() const override { return failed_; }

protected:
    bool refill() override {
        if (failed_ || atEnd_) return false;
        const size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (n == 0) {
            if (std::ferror(file_)) failed_ = true;
            atEnd_ = true;
            return false;
        }
        cur_ = buffer_.data();
        end_ = buffer_.data() + n;
        return true;
    }

private:
    std::FILE* file_;
    std::array<uint8_t, 16384> buffer_{};
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

DocumentReadStatus decodeFrom(ByteReader& in, ScheduleDocument& doc) {
    ScheduleDocument work = doc;

    const std::string format = readLine(in);
    if (in.failed()) return DocumentReadStatus::OpenFailed;
    if (format != kPtmFormatLine) return DocumentReadStatus::BadFormat;

    const int day = dayNumberByName(cp1251ToUtf8(readLine(in)));
    if (day != 0) work.currentDay = day;

    for (DayPlan& plan : work.days) {
        for (TimeSlot& slot : plan.slots) {
            slot.enabled = readSignedByte(in);
            slot.hour = readSignedByte(in);
            slot.minute = readSignedByte(in);
            slot.volume = readSignedByte(in);
        }
    }

    const int type = soundTypeByName(cp1251ToUtf8(readLine(in)));
    if (type != 0) work.soundType = type;

    work.pulseSwitchTime = cp1251ToUtf8(readLine(in));
    work.soundDisabled = readByte(in);

    // A read error half way leaves the document as it was rather than
    // taking the missing part for zeros.
    if (in.failed()) return DocumentReadStatus::OpenFailed;
    doc = std::move(work);
    return DocumentReadStatus::Ok;
}

// ---- files -----------------------------------------------------------------

std::string randomSuffix() {
    static std::atomic<unsigned> counter{0};
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::mt19937 gen(device() ^ (counter.fetch_add(1) * 2654435761u));
    std::string s(6, 'x');
    for (char& c : s) c = kDigits[gen() % (sizeof kDigits - 1)];
    return s;
}

#ifdef _WIN32

std::wstring widePath(const std::string& path) {
    if (path.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                      static_cast<int>(path.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                        wide.data(), n);
    return wide;
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = _write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::wstring target = widePath(path);
    if (target.empty()) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temp = target + widePath(".tmp-" + randomSuffix());
        const int fd = _wopen(temp.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                              _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        bool ok = writeAll(fd, bytes);
        ok = ok && _commit(fd) == 0;  // FlushFileBuffers underneath
        ok = (_close(fd) == 0) && ok;
        ok = ok && MoveFileExW(temp.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!ok) _wunlink(temp.c_str());
        return ok;
    }
    return false;
}

std::FILE* openForReading(const std::string& path) {
    const std::wstring wide = widePath(path);
    if (wide.empty()) return nullptr;
    return _wfopen(wide.c_str(), L"rb");
}

#else

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool replaceFile(const std::string& requested, const std::vector<uint8_t>& bytes) {
    if (requested.empty()) return false;
    // Saving over a symbolic link replaces the file it points to, not the link.
    std::string path = requested;
    struct stat link {};
    if (::lstat(requested.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* real = ::realpath(requested.c_str(), nullptr);
        if (real) {
            path = real;
            std::free(real);
        }
    }
    struct stat old {};
    const bool hadOld = ::stat(path.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) return false;

    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = path + ".tmp-" + randomSuffix();
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        bool ok = true;
        if (hadOld) ::fchmod(fd, old.st_mode & 07777);  // best effort: keep the old permissions
        ok = writeAll(fd, bytes);
        ok = ok && ::fsync(fd) == 0;
        ok = (::close(fd) == 0) && ok;
        ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
        if (!ok) {
            ::unlink(temp.c_str());
            return false;
        }
        // Make the new directory entry durable too; the data is already safe.
        const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    }
    return false;
}

// Opens only regular files, and never waits on a pipe or device.
std::FILE* openForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) ::close(fd);
    return file;
}

#endif

}  // namespace

std::vector<uint8_t> encodeDocument(const ScheduleDocument& doc) {
    std::vector<uint8_t> out;
    out.reserve(kPtmFormatLine.size() + kSlotBlockSize + 64);
    appendLine(out, kPtmFormatLine);
    const bool dayValid = doc.currentDay >= 1 && doc.currentDay <= kDayCount;
    appendLine(out, dayValid ? lineText(kDayNames[static_cast<size_t>(doc.currentDay - 1)]) : "");
    for (const DayPlan& plan : doc.days) {
        for (const TimeSlot& slot : plan.slots) {
            out.push_back(static_cast<uint8_t>(slot.enabled & 0xFF));
            out.push_back(static_cast<uint8_t>(slot.hour & 0xFF));
            out.push_back(static_cast<uint8_t>(slot.minute & 0xFF));
            out.push_back(static_cast<uint8_t>(slot.volume & 0xFF));
        }
    }
    const bool typeValid = doc.soundType >= 1 && doc.soundType <= static_cast<int>(kSoundTypeNames.size());
    appendLine(out, typeValid ? lineText(kSoundTypeNames[static_cast<size_t>(doc.soundType - 1)]) : "");
    appendLine(out, lineText(doc.pulseSwitchTime));
    out.push_back(doc.soundDisabled != 0 ? 1 : 0);
    return out;
}

DocumentReadStatus decodeDocument(std::span<const uint8_t> bytes, ScheduleDocument& doc) {
    SpanReader in(bytes);
    return decodeFrom(in, doc);
}

bool writeDocumentFile(const std::string& path, const ScheduleDocument& doc) {
    if (path.find('\0') != std::string::npos) return false;  // would name another file
    return replaceFile(path, encodeDocument(doc));
}

DocumentReadStatus readDocumentFile(const std::string& path, ScheduleDocument& doc) {
    std::FILE* file = path.find('\0') == std::string::npos ? openForReading(path) : nullptr;
    if (!file) return DocumentReadStatus::OpenFailed;
    FileReader in(file);
    const DocumentReadStatus status = decodeFrom(in, doc);
    std::fclose(file);
    return status;
}

}  // namespace zave
