// The .ptm document file: a fixed sequence of Windows-1251 text lines (CR LF)
// and raw bytes, with the format line "wersia 3.00 unic".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <string>
#include <vector>

#include "schedule/document.h"

namespace zave {

inline constexpr std::string_view kPtmFormatLine = "wersia 3.00 unic";

// Longest text line kept when reading; the rest of a longer line is skipped.
inline constexpr size_t kPtmLineLimit = 4096;

// The reader decides on the format line after at most this many bytes: the
// line and a CR LF.
inline constexpr size_t kPtmFormatWindow = kPtmFormatLine.size() + 2;

// The reader takes at most this many bytes from any file: the largest
// document whose three text lines stay within kPtmLineLimit. What follows is
// ignored as if the file ended there.
inline constexpr size_t kPtmSlotBlockSize = static_cast<size_t>(kDayCount) * kSlotCount * 4;
inline constexpr size_t kPtmReadLimit = kPtmFormatWindow + 3 * (kPtmLineLimit + 2) + kPtmSlotBlockSize + 1;

// The whole file content for the document.
std::vector<uint8_t> encodeDocument(const ScheduleDocument& doc);

enum class DocumentReadStatus { Ok, OpenFailed, BadFormat };

// Where the reader takes its bytes from, front to back.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to max bytes into buffer: the count, 0 at the end, -1 on a read error.
    virtual long long read(uint8_t* buffer, size_t max) = 0;
};

// Reads file content into doc. On BadFormat and OpenFailed (a read error of
// the source) the document is left unchanged. Never asks the source for more
// than kPtmReadLimit bytes in all, nor for more than kPtmFormatWindow before
// the format line is accepted.
DocumentReadStatus decodeDocument(ByteSource& source, ScheduleDocument& doc);
DocumentReadStatus decodeDocument(std::span<const uint8_t> bytes, ScheduleDocument& doc);

// A text line of the file as the program holds it (UTF-8), and back. Any
// bytes without CR and LF survive the trip unchanged; a CR or LF in a text is
// written as '?', since it would end the line early.
std::string ptmLineText(std::string_view lineBytes);
std::string ptmLineBytes(std::string_view text);

// File layer. Saving keeps the old content whole through any failure and
// keeps the old file's owner, group, permissions, access lists, extended
// attributes and links; a symbolic link is saved through. See
// document_file.h.
enum class DocumentWriteStatus {
    Ok,
    Failed,             // not saved; the old file, if any, is unchanged
    LinkLoop,           // the name is a symbolic link that leads round in a loop
    LinkToMissingFolder // the name is a symbolic link into a folder that does not exist
};
DocumentWriteStatus saveDocumentFile(const std::string& path, const ScheduleDocument& doc);
// saveDocumentFile(...) == Ok.
bool writeDocumentFile(const std::string& path, const ScheduleDocument& doc);
// Whether a save as path would replace or write through something already
// there: true for a file, folder or any symbolic link, a dangling one too.
bool documentNameTaken(const std::string& path);
// Only regular files are read, and at most kPtmReadLimit bytes of them.
DocumentReadStatus readDocumentFile(const std::string& path, ScheduleDocument& doc);

}  // namespace zave
