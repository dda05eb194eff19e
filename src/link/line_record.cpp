#include "link/line_record.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/port_names.h"

namespace zave {

namespace fs = std::filesystem;

namespace {

// One mark a device, whatever name reached it (COMn, a link, a path, an
// alias): the mark is named after the resolved device, every character but
// letters and digits escaped, so no name can point the mark outside its
// folder or at the device itself.
fs::path markPath(const std::string& portName) {
    const std::string device = resolvePortPath(portName).value_or(portName);
    std::string name;
    for (const unsigned char c : device) {
        if (std::isalnum(c) != 0) {
            name += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            name += escaped;
        }
    }
    // Past the file system's name limit only the end, which tells devices apart, is kept.
    if (name.size() > 200) name.erase(0, name.size() - 200);
    return fs::path(LineRecord::folder()) / name;
}

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
