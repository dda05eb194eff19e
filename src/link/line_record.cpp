#include "link/line_record.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/port_names.h"

namespace zave {

namespace fs = std::filesystem;

namespace {

fs::path markPath(const std::string& portName) { return fs::path(LineRecord::folder()) / portName; }

}  // namespace

std::string LineRecord::folder() {
#ifdef _WIN32
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    return ((ec ? fs::path(".") : temp) / "zave-lines").string();
#else
    // Beside the port links, so that whoever sees the same ports sees the same marks.
    return (fs::path(portLinkFolder()).parent_path() / "lines").string();
#endif
}

bool LineRecord::leftInUse(const std::string& portName) {
    std::error_code ec;
    return fs::exists(markPath(portName), ec);
}

void LineRecord::markInUse(const std::string& portName) {
    std::error_code ec;
    fs::create_directories(folder(), ec);
    std::ofstream(markPath(portName), std::ios::trunc) << "in use\n";
}

void LineRecord::clear(const std::string& portName) {
    std::error_code ec;
    fs::remove(markPath(portName), ec);
}

}  // namespace zave
