#include "schedule/file_name.h"

#include <cctype>

namespace zave {

std::string_view filePart(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string withDocumentExtension(std::string_view path) {
    std::string_view name = filePart(path);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        std::string_view ext = name.substr(dot + 1);
        auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
        if (ext.size() == 3 && lower(ext[0]) == 'p' && lower(ext[1]) == 't' && lower(ext[2]) == 'm')
            return std::string(path);
    }
    return std::string(path) + ".ptm";
}

}  // namespace zave
