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

// The whole file content for the document.
std::vector<uint8_t> encodeDocument(const ScheduleDocument& doc);

enum class DocumentReadStatus { Ok, OpenFailed, BadFormat };

// Reads file content into doc. On BadFormat the document is left unchanged.
DocumentReadStatus decodeDocument(std::span<const uint8_t> bytes, ScheduleDocument& doc);

// File layer. Writing goes to a temporary file in the same folder that is
// flushed and renamed over the target, so a failure never harms the old file.
bool writeDocumentFile(const std::string& path, const ScheduleDocument& doc);
// Reading is bounded in memory whatever the file holds.
DocumentReadStatus readDocumentFile(const std::string& path, ScheduleDocument& doc);

}  // namespace zave
