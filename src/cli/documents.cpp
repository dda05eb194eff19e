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
        console.error(status == DocumentReadStatus::BadFormat ? "badFormat" : "unreadable",
                      path + ": " + oneLine(documentReadMessage(status)), Json{{"path", path}});
        return std::nullopt;
    }
    return doc;
}

bool saveProgram(const std::string& path, const ScheduleDocument& doc, Console& console) {
    const DocumentWriteStatus status = saveDocumentFile(path, doc);
    if (status == DocumentWriteStatus::Ok) return true;
    console.error("unwritable", path + ": " + oneLine(documentWriteMessage(status)), Json{{"path", path}});
    return false;
}

namespace {

// The system's reason in Russian where it is a common one.
std::string reasonText(const std::error_code& ec) {
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) return "нет прав";
    if (ec == std::errc::no_such_file_or_directory) return "нет такого файла или папки";
    return ec.message();
}

// Why an entry named *.ptm in a folder is no file to read; empty when it is one.
std::string entryProblem(const fs::directory_entry& entry) {
    std::error_code ec;
    const fs::file_status target = fs::status(entry.path(), ec);
    if (ec) {
        if (ec == std::errc::too_many_symbolic_link_levels) return "ссылка замкнута в петлю";
        if (fs::is_symlink(fs::symlink_status(entry.path(), ec)) && !ec) return "ссылка ведёт в никуда";
        return "не читается (" + reasonText(ec) + ")";
    }
    switch (target.type()) {
    case fs::file_type::regular: return {};
    case fs::file_type::directory: return "это папка, а не файл";
    case fs::file_type::fifo: return "это канал (FIFO), а не файл";
    case fs::file_type::socket: return "это сокет, а не файл";
    case fs::file_type::block:
    case fs::file_type::character: return "это устройство, а не файл";
    case fs::file_type::not_found: return "ссылка ведёт в никуда";
    default: return "не обычный файл";
    }
}

}  // namespace

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
        std::vector<std::pair<std::string, std::string>> problems;
        fs::directory_iterator it(toPath(operand), ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            if (!hasProgramExtension(it->path())) continue;
            const std::string problem = entryProblem(*it);
            if (problem.empty()) found.push_back(fromPath(it->path()));
            else problems.emplace_back(fromPath(it->path()), problem);
        }
        if (ec) {
            console.error("unlistable", operand + ": папку не прочитать (" + ec.message() + ")",
                          Json{{"path", operand}});
            result.unreadable = true;
            continue;
        }
        std::sort(problems.begin(), problems.end());
        for (const auto& [path, problem] : problems) {
            console.error("notAFile", path + ": " + problem, Json{{"path", path}});
            result.unreadable = true;
        }
        std::sort(found.begin(), found.end());
        if (found.empty() && problems.empty()) {
            console.error("noPrograms", operand + ": в папке нет файлов .ptm", Json{{"path", operand}});
            result.emptyFolder = true;
            continue;
        }
        paths.insert(paths.end(), found.begin(), found.end());
    }
    return result;
}

bool pathExists(const std::string& path) { return documentNameTaken(path); }

}  // namespace zave::cli
