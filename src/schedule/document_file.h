// The file layer under writeDocumentFile and readDocumentFile: what is common
// to POSIX and Windows, the platform calls each side provides, and a probe
// through which tests fail single steps and count the bytes read.
//
// Saving an existing file, in order of preference:
//  1. a new file beside the old one, written, flushed and renamed over it,
//     with the old file's owner, group, permissions, access lists and
//     extended attributes (Windows: what ReplaceFileW keeps, see
//     document_file_win32.cpp);
//  2. where that would change the file's identity (more links than one, an
//     owner, access list or attribute the saver cannot give to a new file)
//     or the folder takes no new file: the old file rewritten in place. Its old content is first held in
//     memory and, where the folder allows, copied to a backup file beside it;
//     any failure before the new content is complete and flushed writes the
//     old content back.
// A symbolic link is saved through: the file it names is created or saved
// as above and the link stays. A file that nobody may write (no write
// permission bit, or the Windows read-only attribute) is refused, also for
// an administrator. After a save, the hidden files that earlier saves of the
// same file left behind when killed (see siblingName) are removed, unless a
// save still running holds them.
// A failed save means the old file holds its old content, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/ptm_codec.h"

namespace zave {

// Seen by tests only. Every step of a save that touches the disk asks
// fail(step) first; true makes the step fail as a full or broken disk would
// (a write then writes only part of its bytes). read() sees the size of each
// read from a document file.
class FileProbe {
public:
    virtual ~FileProbe() = default;
    virtual bool fail(std::string_view step) { return false; }
    virtual void read(size_t bytes) {}
};
void setFileProbe(FileProbe* probe);  // nullptr: none

namespace file_layer {

bool injectedFailure(std::string_view step);
void noteRead(size_t bytes);

// An old file opened for reading and writing in place.
class OpenFile {
public:
    virtual ~OpenFile() = default;
    // The whole content, or false when it cannot be read or exceeds limit.
    virtual bool readAll(std::vector<uint8_t>& out, uint64_t limit) = 0;
    virtual bool writeAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
    // Makes sure size bytes can be stored without the disk running full.
    virtual bool reserve(uint64_t size) = 0;
    virtual bool resize(uint64_t size) = 0;
    virtual bool flush() = 0;
};

// Largest old file that is rewritten in place; its content is held in memory
// meanwhile. A larger file that cannot be replaced is refused untouched.
inline constexpr uint64_t kInPlaceLimit = 64ull << 20;

// A file beside the target that a running save uses: while this lives, no
// other save removes it as a leftover.
class Held {
public:
    virtual ~Held() = default;
};

// Rewrites f, known by the name target, with bytes (see above).
bool rewriteInPlace(OpenFile& f, const std::string& target, std::span<const uint8_t> bytes);

// The name of a new file beside target: hidden, built from the target's name
// and a random part with the given ending; at most 255 bytes (and 255 UTF-16
// units) whatever the length of the target's name.
std::string siblingName(const std::string& target, std::string_view ending);
// Whether name (a name in the target's folder) has the form siblingName
// gives the target with the ending ".tmp" or ".bak".
bool isSiblingOf(const std::string& target, std::string_view name);

// Windows reserved device names (CON, NUL, COM1, LPT1, AUX, "com1.ptm" …)
// and device or pipe paths ("\\.\COM1", "\\?\pipe\…"): never files. Used by
// the Windows layer; plain text rules, so they are tested everywhere.
bool namesWindowsDevice(std::string_view path);

// ---- provided by document_file_posix.cpp or document_file_win32.cpp ----

// Saves bytes as the file path; anything but Ok when nothing was changed.
DocumentWriteStatus saveFile(const std::string& path, std::span<const uint8_t> bytes);
bool nameTaken(const std::string& path);
// A source of the file's bytes when path names a regular file, else null.
std::unique_ptr<ByteSource> openRegularFile(const std::string& path);

enum class NewFile { Written, Exists, Refused, Failed };
// Creates path (which must not exist), writes bytes and flushes them.
// Refused: the folder takes no new file; Failed: anything else, and then no
// file of that name is left. When Written, held keeps the file this save's.
NewFile writeNewFile(const std::string& path, std::span<const uint8_t> bytes, std::unique_ptr<Held>& held);
bool removeFile(const std::string& path);

}  // namespace file_layer
}  // namespace zave
