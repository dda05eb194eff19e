// Program files for zavectl: the one place that calls the document file
// reader and writer of the core.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "schedule/document.h"

namespace zave::cli {

// Reads path into a fresh document, as the window's Open does. On failure
// the window's message is printed as a warning naming the file.
std::optional<ScheduleDocument> loadProgram(const std::string& path, Console& console);

// Saves doc under path, as the window's Save does; false (warning printed)
// when the file could not be written.
bool saveProgram(const std::string& path, const ScheduleDocument& doc, Console& console);

// The operands of check: files as given, folders replaced by the files in
// them whose extension is .ptm in any letter case, in name order. A folder
// without such files is warned about and sets emptyFolder; a folder that
// cannot be listed, and every entry named *.ptm that is no readable file (a
// link to nothing or to itself, a FIFO, a folder, a file it may not open,
// ...), is reported with its reason and sets unreadable.
struct ProgramPaths {
    std::vector<std::string> files;
    bool emptyFolder = false;
    bool unreadable = false;
};
ProgramPaths expandProgramPaths(const std::vector<std::string>& operands, Console& console);

// Whether a file, folder or symbolic link (a dangling one too) of that name exists.
bool pathExists(const std::string& path);

}  // namespace zave::cli
