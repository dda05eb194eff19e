#include "link/port_holder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <vector>

namespace zave {

namespace {

bool isNumber(const char* text) {
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

// Whether one of the process's open files is the device `device`.
bool holds(const std::string& pid, dev_t device) {
    const std::string folder = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(folder.c_str());
    if (fds == nullptr) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(fds)) {
        if (!isNumber(entry->d_name)) continue;
        struct stat st {};
        const std::string fd = folder + "/" + entry->d_name;
        if (::stat(fd.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

}  // namespace

std::string portHolders(const std::string& devicePath) {
    struct stat target {};
    if (::stat(devicePath.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return {};
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return {};
    const std::string self = std::to_string(::getpid());
    std::string holders;
    while (const dirent* entry = ::readdir(proc)) {
        if (!isNumber(entry->d_name) || self == entry->d_name || !holds(entry->d_name, target.st_rdev)) continue;
        std::string name;
        std::ifstream comm("/proc/" + std::string(entry->d_name) + "/comm");
        std::getline(comm, name);
        if (!holders.empty()) holders += ", ";
        holders += (name.empty() ? "?" : name) + " (PID " + entry->d_name + ")";
    }
    ::closedir(proc);
    return holders;
}

}  // namespace zave
