#include "link/port_names.h"

#include <cstdlib>

#ifndef _WIN32
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zave {

namespace {

// The number in "COM<n>" for n = 1..kPortNameCount, written without leading
// zeros and in capitals exactly as the selector offers it; 0 for any other text.
int portNumber(std::string_view name) {
    if (name.size() < 4 || name.size() > 6 || name.substr(0, 3) != "COM") return 0;
    if (name[3] == '0') return 0;
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        const char c = name[i];
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n >= 1 && n <= kPortNameCount ? n : 0;
}

}  // namespace

bool isDevicePath(std::string_view portName) {
#ifdef _WIN32
    return portName.size() > 4 && (portName.substr(0, 4) == "\\\\.\\" || portName.substr(0, 4) == "\\\\?\\");
#else
    return portName.find('/') != std::string_view::npos;
#endif
}

std::vector<std::string> portSelectorNames() {
    std::vector<std::string> names;
    names.reserve(kPortNameCount);
    for (int i = 1; i <= kPortNameCount; ++i) names.push_back("COM" + std::to_string(i));
    return names;
}

#ifdef _WIN32

std::string portLinkFolder() { return {}; }

std::optional<std::string> resolvePortPath(std::string_view portName, const std::string&) {
    if (isDevicePath(portName)) return std::string(portName);
    if (portNumber(portName) == 0) return std::nullopt;
    return "\\\\.\\" + std::string(portName);
}

#else

std::string portLinkFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') return std::string(runtime) + "/zave/ports";
    return "/tmp/zave-" + std::to_string(::getuid()) + "/ports";
}

std::optional<std::string> resolvePortPath(std::string_view portName, const std::string& linkFolder) {
    if (isDevicePath(portName)) return std::string(portName);
    const int n = portNumber(portName);
    if (n == 0) return std::nullopt;

    if (!linkFolder.empty()) {
        const std::string link = linkFolder + "/" + std::string(portName);
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            char target[PATH_MAX];
            if (::realpath(link.c_str(), target) != nullptr) return std::string(target);
            // A link to nothing still names this port: opening it reports
            // the missing device.
            return link;
        }
    }

    const int index = (n - 1) % 32;
    switch ((n - 1) / 32) {
    case 0: return "/dev/ttyS" + std::to_string(index);
    case 1: return "/dev/ttyUSB" + std::to_string(index);
    case 2: return "/dev/ttyACM" + std::to_string(index);
    default: return std::nullopt;
    }
}

#endif

std::optional<std::string> resolvePortPath(std::string_view portName) {
    return resolvePortPath(portName, portLinkFolder());
}

}  // namespace zave
