#include "cli/documents.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "schedule/file_messages.h"
#include "schedule/file_name.h"
#include "schedule/ptm_codec.h"

namespace zave::cli {

namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 text on every platform.
fs::path toPath(const std::string& text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string fromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

bool hasProgramExtension(const fs::path& path) {
    // The same rule as the window's Save: the extension is "ptm" in any case.
    const std::string name = fromPath(path.filename());
    return withDocumentExtension(name) == name;
}

}  // namespace

std::optional<ScheduleDocument> loadProgram(const std::string& path, Console& console) {
    ScheduleDocument doc;
    resetDocument(doc);
    const DocumentReadStatus status = readDocumentFile(path, doc);
    if (status != DocumentReadStatus::Ok) {
        console.warning(path + ": " + oneLine(documentReadMessage(status)));
        return std::nullopt;
    }
    return doc;
}

bool saveProgram(const std::string& path, const ScheduleDocument& doc, Console& console) {
    const DocumentWriteStatus status = saveDocumentFile(path, doc);
    if (status == DocumentWriteStatus::Ok) return true;
    console.warning(path + ": " + oneLine(documentWriteMessage(status)));
    return false;
}

ProgramPaths expandProgramPaths(const std::vector<std::string>& operands, Console& console) {
    ProgramPaths result;
    std::vector<std::string>& paths = result.files;
    for (const std::string& operand : operands) {
        std::error_code ec;
        if (!fs::is_directory(toPath(operand), ec)) {
            paths.push_back(operand);
            continue;
        }
        std::vector<std::string> found;
        for (fs::directory_iterator it(toPath(operand), ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (it->is_regular_file(typeError) && hasProgramExtension(it->path())) found.push_back(fromPath(it->path()));
        }
        std::sort(found.begin(), found.end());
        if (found.empty()) {
            console.warning(operand + ": в папке нет файлов .ptm");
            result.emptyFolder = true;
            continue;
        }
        paths.insert(paths.end(), found.begin(), found.end());
    }
    return result;
}

bool pathExists(const std::string& path) { return documentNameTaken(path); }

}  // namespace zave::cli
