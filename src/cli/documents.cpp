#include "cli/documents.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

// Why the file cannot be opened for reading (no permission, ...); empty when it can.
std::string openProblem(const fs::path& path) {
#ifdef _WIN32
    std::FILE* file = ::_wfopen(path.c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) return "не читается (" + reasonText(std::error_code(errno, std::generic_category())) + ")";
    std::fclose(file);
    return {};
}

// Why an entry named *.ptm in a folder is no file to read, as the JSON
// reason and the text; an empty text when it is one.
struct EntryProblem {
    const char* reason = "notAFile";
    std::string text;
};

EntryProblem entryProblem(const fs::directory_entry& entry) {
    std::error_code ec;
    const fs::file_status target = fs::status(entry.path(), ec);
    if (ec) {
        if (ec == std::errc::too_many_symbolic_link_levels) return {.text = "ссылка замкнута в петлю"};
        if (fs::is_symlink(fs::symlink_status(entry.path(), ec)) && !ec) return {.text = "ссылка ведёт в никуда"};
        return {"unreadable", "не читается (" + reasonText(ec) + ")"};
    }
    switch (target.type()) {
    case fs::file_type::regular: return {"unreadable", openProblem(entry.path())};
    case fs::file_type::directory: return {.text = "это папка, а не файл"};
    case fs::file_type::fifo: return {.text = "это канал (FIFO), а не файл"};
    case fs::file_type::socket: return {.text = "это сокет, а не файл"};
    case fs::file_type::block:
    case fs::file_type::character: return {.text = "это устройство, а не файл"};
    case fs::file_type::not_found: return {.text = "ссылка ведёт в никуда"};
    default: return {.text = "не обычный файл"};
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
        std::vector<std::pair<std::string, EntryProblem>> problems;
        fs::directory_iterator it(toPath(operand), ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            if (!hasProgramExtension(it->path())) continue;
            EntryProblem problem = entryProblem(*it);
            if (problem.text.empty()) found.push_back(fromPath(it->path()));
            else problems.emplace_back(fromPath(it->path()), problem);
        }
        if (ec) {
            console.error("unlistable", operand + ": папку не прочитать (" + reasonText(ec) + ")",
                          Json{{"path", operand}});
            result.unreadable = true;
            continue;
        }
        std::sort(problems.begin(), problems.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [path, problem] : problems) {
            console.error(problem.reason, path + ": " + problem.text, Json{{"path", path}});
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
