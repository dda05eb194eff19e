#pragma once

#include <string>
#include <string_view>

namespace zave {

// The name a document is saved under: ".ptm" is appended unless the text
// after the last '.' of the file part is "ptm" in any letter case
// (plan -> plan.ptm, plan.txt -> plan.txt.ptm, PLAN.PTM unchanged).
std::string withDocumentExtension(std::string_view path);

// The file part of a path (after the last '/' or '\\').
std::string_view filePart(std::string_view path);

}  // namespace zave
