// The file layer on Windows.
#include "schedule/document_file.h"

#include <windows.h>

#include <algorithm>

namespace zave::file_layer {

namespace {

std::wstring widePath(const std::string& path) {
    if (path.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                                      nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return wide;
}

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    void reset(HANDLE h) {
        close();
        h_ = h;
    }
    bool close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || h == nullptr || CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

OVERLAPPED at(uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

constexpr size_t kChunk = 1u << 30;

bool writeAllAt(HANDLE h, uint64_t offset, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED o = at(offset + done);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(bytes.size() - done, kChunk));
        if (!WriteFile(h, bytes.data() + done, want, &n, &o) || n == 0) return false;
        done += n;
    }
    return true;
}

bool isRegularDiskFile(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

class Win32Source final : public ByteSource {
public:
    explicit Win32Source(HANDLE h) : h_(h) {}
    long long read(uint8_t* buffer, size_t max) override {
        DWORD n = 0;
        if (!ReadFile(h_.get(), buffer, static_cast<DWORD>(std::min(max, kChunk)), &n, nullptr)) return -1;
        return n;
    }

private:
    Handle h_;
};

class Win32OpenFile final : public OpenFile {
public:
    explicit Win32OpenFile(HANDLE h) : h_(h) {}
    bool readAll(std::vector<uint8_t>& out, uint64_t limit) override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h_, &size) || static_cast<uint64_t>(size.QuadPart) > limit) return false;
        out.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (done < out.size()) {
            OVERLAPPED o = at(done);
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min(out.size() - done, kChunk));
            if (!ReadFile(h_, out.data() + done, want, &n, &o) || n == 0) return false;
            done += n;
        }
        return true;
    }
    bool writeAt(uint64_t offset, std::span<const uint8_t> bytes) override { return writeAllAt(h_, offset, bytes); }
    // Setting the end allocates the space on the disk, or fails when it is full.
    bool reserve(uint64_t size) override { return resize(size); }
    bool resize(uint64_t size) override {
        FILE_END_OF_FILE_INFO info{};
        info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        return SetFileInformationByHandle(h_, FileEndOfFileInfo, &info, sizeof info) != 0;
    }
    bool flush() override { return FlushFileBuffers(h_) != 0; }

private:
    HANDLE h_;
};

// Open with no sharing but, for share, deletion: while it is open, no other
// save can open it to remove it as a leftover.
NewFile createExclusive(const std::wstring& path, Handle& h, DWORD share = 0) {
    if (injectedFailure("create")) return NewFile::Failed;
    h.reset(CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.valid()) return NewFile::Written;
    switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return NewFile::Exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return NewFile::Refused;
    default: return NewFile::Failed;
    }
}

bool fill(Handle& h, std::span<const uint8_t> bytes, bool keepOpen = false) {
    if (injectedFailure("write new")) {
        writeAllAt(h.get(), 0, bytes.first(bytes.size() / 2));
        return false;
    }
    return writeAllAt(h.get(), 0, bytes) && !injectedFailure("flush new") && FlushFileBuffers(h.get()) &&
           (keepOpen || h.close());
}

class Win32Held final : public Held {
public:
    explicit Win32Held(HANDLE h) : h_(h) {}

private:
    Handle h_;
};

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::string narrow(const std::wstring& wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

// Removes the files of path's earlier saves that were killed half way. A
// file is removed only when it can be opened with no sharing at all, that
// is when no running save has it open.
void removeLeftovers(const std::string& path) {
    const std::wstring folder = folderOf(widePath(path));
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (!isSiblingOf(path, narrow(found.cFileName))) continue;
        const std::wstring name = folder + found.cFileName;
        // Deleted when closed; a read-only leftover is made writable first.
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        const Handle h(CreateFileW(name.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

DocumentWriteStatus saved(bool ok, const std::string& path) {
    if (!ok) return DocumentWriteStatus::Failed;
    removeLeftovers(path);
    return DocumentWriteStatus::Ok;
}

enum class Outcome { Done, Failed, NotHere };

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE;

// A new file beside the target that then takes its place. ReplaceFileW keeps
// of the old file: its creation time, short (8.3) name, object identifier,
// access list (DACL) and security resource attributes, encryption,
// compression, and the named streams that the new file lacks; the file
// attributes (archive, hidden, system, not indexed, offline) are set here
// beforehand. It does not keep the owner (the saver owns the new file), the
// audit list (SACL), extended attributes (EA) nor hard links; a file with
// more than one link is rewritten in place instead. A file that did not
// exist is moved into place without replacing anything.
Outcome replaceWithNew(const std::string& path, const std::wstring& target, DWORD oldAttributes, bool existing,
                       std::span<const uint8_t> bytes) {
    for (int attempts = 0; attempts < 100; ++attempts) {
        const std::wstring temp = widePath(siblingName(path, ".tmp"));
        Handle h;
        const NewFile made = createExclusive(temp, h);
        if (made == NewFile::Exists) continue;
        if (made == NewFile::Refused) return existing ? Outcome::NotHere : Outcome::Failed;
        if (made != NewFile::Written) return Outcome::Failed;
        if (!fill(h, bytes) || injectedFailure("rename")) {
            h.close();
            DeleteFileW(temp.c_str());
            return Outcome::Failed;
        }
        if (!existing) {
            if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return Outcome::Done;
            DeleteFileW(temp.c_str());
            return Outcome::Failed;
        }
        // The new file carries the old one's attributes from the start (not
        // every implementation of ReplaceFileW takes them over).
        const DWORD kept = oldAttributes & kKeptAttributes;
        if (!SetFileAttributesW(temp.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL)) {
            DeleteFileW(temp.c_str());
            return Outcome::NotHere;
        }
        if (ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr))
            return Outcome::Done;
        const DWORD error = GetLastError();
        // Closed for ReplaceFileW, it may have been taken for a leftover by
        // another save that just ended: the old file is untouched, try again.
        if (GetFileAttributesW(temp.c_str()) == INVALID_FILE_ATTRIBUTES && GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        // The old file is gone and the new one was not moved: move it now.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
            MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return Outcome::Done;
        DeleteFileW(temp.c_str());
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? Outcome::NotHere : Outcome::Failed;
    }
    return Outcome::Failed;
}

}  // namespace

NewFile writeNewFile(const std::string& path, std::span<const uint8_t> bytes, std::unique_ptr<Held>& held) {
    const std::wstring wide = widePath(path);
    Handle h;
    // Shared for deletion only, so that this save can remove it while open.
    const NewFile made = createExclusive(wide, h, FILE_SHARE_DELETE);
    if (made != NewFile::Written) return made;
    if (fill(h, bytes, true)) {
        held = std::make_unique<Win32Held>(h.get());
        h.reset(INVALID_HANDLE_VALUE);
        return NewFile::Written;
    }
    h.close();
    DeleteFileW(wide.c_str());
    return NewFile::Failed;
}

bool nameTaken(const std::string& path) {
    const std::wstring wide = widePath(path);
    return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool removeFile(const std::string& path) { return DeleteFileW(widePath(path).c_str()) != 0; }

DocumentWriteStatus saveFile(const std::string& path, std::span<const uint8_t> bytes) {
    constexpr DocumentWriteStatus kFailed = DocumentWriteStatus::Failed;
    if (namesWindowsDevice(path)) return kFailed;
    const std::wstring target = widePath(path);
    if (target.empty()) return kFailed;
    WIN32_FILE_ATTRIBUTE_DATA old{};
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &old)) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return kFailed;  // a vanished folder among others
        return saved(replaceWithNew(path, target, 0, false, bytes) == Outcome::Done, path);
    }
    // The read-only attribute holds for every user, administrators too.
    if (old.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY))
        return kFailed;
    DWORD links = 0;
    {
        // A file that may not be opened for writing is not replaced either.
        const Handle probe(CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!probe.valid() || !isRegularDiskFile(probe.get()) || !GetFileInformationByHandle(probe.get(), &info))
            return kFailed;
        links = info.nNumberOfLinks;
    }
    if (links <= 1) {
        const Outcome replaced = replaceWithNew(path, target, old.dwFileAttributes, true, bytes);
        if (replaced != Outcome::NotHere) return saved(replaced == Outcome::Done, path);
    }
    const Handle h(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid() || !isRegularDiskFile(h.get())) return kFailed;
    Win32OpenFile file(h.get());
    return saved(rewriteInPlace(file, path, bytes), path);
}

// Only regular files; a device or pipe is refused by its name, unopened.
std::unique_ptr<ByteSource> openRegularFile(const std::string& path) {
    if (namesWindowsDevice(path)) return nullptr;
    const std::wstring wide = widePath(path);
    if (wide.empty()) return nullptr;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return nullptr;
    if (injectedFailure("open")) return nullptr;
    const HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto source = std::make_unique<Win32Source>(h);
    if (!isRegularDiskFile(h)) return nullptr;
    return source;
}

}  // namespace zave::file_layer
