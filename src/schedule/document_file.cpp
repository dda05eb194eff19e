#include "schedule/document_file.h"

#include <atomic>
#include <cctype>
#include <random>

namespace zave {

namespace {

FileProbe* gProbe = nullptr;

// Counts what a document file gives the reader.
class CountedSource final : public ByteSource {
public:
    explicit CountedSource(ByteSource& inner) : inner_(inner) {}
    long long read(uint8_t* buffer, size_t max) override {
        const long long n = inner_.read(buffer, max);
        if (n > 0) file_layer::noteRead(static_cast<size_t>(n));
        return n;
    }

private:
    ByteSource& inner_;
};

bool validPath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;  // a NUL would name another file
}

}  // namespace

void setFileProbe(FileProbe* probe) { gProbe = probe; }

DocumentWriteStatus saveDocumentFile(const std::string& path, const ScheduleDocument& doc) {
    if (!validPath(path)) return DocumentWriteStatus::Failed;
    return file_layer::saveFile(path, encodeDocument(doc));
}

bool writeDocumentFile(const std::string& path, const ScheduleDocument& doc) {
    return saveDocumentFile(path, doc) == DocumentWriteStatus::Ok;
}

bool documentNameTaken(const std::string& path) { return validPath(path) && file_layer::nameTaken(path); }

DocumentReadStatus readDocumentFile(const std::string& path, ScheduleDocument& doc) {
    if (!validPath(path)) return DocumentReadStatus::OpenFailed;
    const std::unique_ptr<ByteSource> file = file_layer::openRegularFile(path);
    if (!file) return DocumentReadStatus::OpenFailed;
    CountedSource counted(*file);
    return decodeDocument(counted, doc);
}

namespace file_layer {

bool injectedFailure(std::string_view step) { return gProbe && gProbe->fail(step); }

void noteRead(size_t bytes) {
    if (gProbe) gProbe->read(bytes);
}

namespace {

bool attempt(std::string_view step, bool (*action)(OpenFile&, uint64_t), OpenFile& f, uint64_t arg) {
    return !injectedFailure(step) && action(f, arg);
}

// An injected failure writes half of the bytes first, as a disk running full does.
bool writeStep(std::string_view step, OpenFile& f, std::span<const uint8_t> bytes) {
    if (injectedFailure(step)) {
        f.writeAt(0, bytes.first(bytes.size() / 2));
        return false;
    }
    return f.writeAt(0, bytes);
}

bool reserve(OpenFile& f, uint64_t size) { return f.reserve(size); }
bool resize(OpenFile& f, uint64_t size) { return f.resize(size); }
bool flush(OpenFile& f, uint64_t) { return f.flush(); }

}  // namespace

bool rewriteInPlace(OpenFile& f, const std::string& target, std::span<const uint8_t> bytes) {
    std::vector<uint8_t> old;
    if (injectedFailure("read old") || !f.readAll(old, kInPlaceLimit)) return false;

    // A backup beside the file outlives even a crash of the program; where
    // the folder takes no new file the copy in memory has to do.
    std::string backup;
    std::unique_ptr<Held> held;
    for (int attempts = 0; attempts < 16; ++attempts) {
        const std::string name = siblingName(target, ".bak");
        const NewFile made = writeNewFile(name, old, held);
        if (made == NewFile::Exists) continue;
        if (made == NewFile::Written) backup = name;
        break;
    }

    // Growing the file first claims the disk space, so a full disk fails
    // before any old byte is overwritten.
    const bool claimed = bytes.size() <= old.size() || attempt("reserve", reserve, f, bytes.size());
    const bool ok = claimed && writeStep("write in place", f, bytes) && attempt("truncate", resize, f, bytes.size()) &&
                    attempt("flush in place", flush, f, 0);
    if (ok) {
        if (!backup.empty()) removeFile(backup);
        return true;
    }
    const bool restored = attempt("restore size", resize, f, old.size()) &&
                          (!claimed || writeStep("restore", f, old)) && attempt("flush restored", flush, f, 0);
    // Should even that fail, the backup is the operator's copy of the old content.
    if (restored && !backup.empty()) removeFile(backup);
    return false;
}

namespace {

constexpr char kRandomDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kRandomLength = 6;

// Where the file part of target starts.
size_t nameStart(const std::string& target) {
#ifdef _WIN32
    const size_t slash = target.find_last_of("/\\");
#else
    const size_t slash = target.rfind('/');
#endif
    return slash == std::string::npos ? 0 : slash + 1;
}

// ".name." with the file part cut to at most 200 bytes: 200 bytes of UTF-8
// are at most 200 UTF-16 units; cut between characters.
std::string siblingHead(const std::string& target) {
    std::string_view name = std::string_view(target).substr(nameStart(target));
    size_t keep = std::min<size_t>(name.size(), 200);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    std::string head(1, '.');
    head.append(name.substr(0, keep));
    head += '.';
    return head;
}

}  // namespace

std::string siblingName(const std::string& target, std::string_view ending) {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::mt19937 gen(device() ^ (counter.fetch_add(1) * 2654435761u));
    std::string random(kRandomLength, 'x');
    for (char& c : random) c = kRandomDigits[gen() % (sizeof kRandomDigits - 1)];
    return target.substr(0, nameStart(target)) + siblingHead(target) + random + std::string(ending);
}

bool isSiblingOf(const std::string& target, std::string_view name) {
    const std::string head = siblingHead(target);
    if (name.size() != head.size() + kRandomLength + 4 || name.substr(0, head.size()) != head) return false;
    const std::string_view ending = name.substr(head.size() + kRandomLength);
    if (ending != ".tmp" && ending != ".bak") return false;
    for (const char c : name.substr(head.size(), kRandomLength))
        if (std::string_view(kRandomDigits).find(c) == std::string_view::npos) return false;
    return true;
}

namespace {

bool equalsAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool startsWith(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && equalsAscii(text.substr(0, head.size()), head);
}

bool isReservedName(std::string_view base) {
    static constexpr std::string_view kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view n : kNames)
        if (equalsAscii(base, n)) return true;
    if (base.size() < 4 || !(startsWith(base, "COM") || startsWith(base, "LPT"))) return false;
    const std::string_view number = base.substr(3);
    // COM0..COM9, LPT0..LPT9 and the superscript ¹ ² ³ forms.
    return (number.size() == 1 && std::isdigit(static_cast<unsigned char>(number[0]))) || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

bool namesWindowsDevice(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '/') c = '\\';
    // Device namespace: only drive and share paths inside it name files.
    if (startsWith(p, "\\\\.\\") || startsWith(p, "\\\\?\\") || startsWith(p, "\\??\\")) {
        const std::string rest = p.substr(4);
        if (rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':' &&
            rest[2] == '\\')
            p = rest;
        else if (startsWith(rest, "UNC\\"))
            p = "\\\\" + rest.substr(4);
        else
            return true;
    }
    // Named pipes and mail slots of a host: \\host\pipe\…, \\host\mailslot\…
    if (startsWith(p, "\\\\")) {
        const size_t hostEnd = p.find('\\', 2);
        if (hostEnd != std::string::npos) {
            const std::string_view share = std::string_view(p).substr(hostEnd + 1);
            if (startsWith(share, "pipe\\") || startsWith(share, "mailslot\\") || equalsAscii(share, "pipe") ||
                equalsAscii(share, "mailslot"))
                return true;
        }
    }
    // The last name without extension and stream; "com1.ptm" and "NUL  " are devices too.
    std::string_view name = p;
    if (const size_t slash = name.rfind('\\'); slash != std::string_view::npos) name = name.substr(slash + 1);
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':')
        name = name.substr(2);
    name = name.substr(0, name.find_first_of(".:"));
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return isReservedName(name);
}

}  // namespace file_layer
}  // namespace zave
