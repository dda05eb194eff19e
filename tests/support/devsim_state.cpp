#include "support/devsim_state.h"

#include <fstream>

namespace zave::testing {

bool writeDevSimState(const std::string& path, const DeviceTables& tables) {
    std::ofstream out(path, std::ios::trunc);
    out << "zave-devsim state 1\n";
    auto table = [&](const char* name, const std::array<int, 85>& t) {
        out << name;
        for (int k = 1; k <= 84; ++k) out << ' ' << t[size_t(k)];
        out << '\n';
    };
    table("hour", tables.hour);
    table("minute", tables.minute);
    table("volume", tables.volume);
    out << "settings " << tables.settings[0] << ' ' << tables.settings[1] << ' ' << tables.settings[2] << '\n';
    out << "clock 0 0\n";
    return bool(out.flush());
}

std::optional<DeviceTables> readDevSimState(const std::string& path) {
    std::ifstream in(path);
    std::string header;
    if (!std::getline(in, header) || header != "zave-devsim state 1") return std::nullopt;
    DeviceTables s;
    auto table = [&](const char* name, std::array<int, 85>& t) {
        std::string word;
        if (!(in >> word) || word != name) return false;
        for (int k = 1; k <= 84; ++k)
            if (!(in >> t[size_t(k)])) return false;
        return true;
    };
    std::string word;
    if (!table("hour", s.hour) || !table("minute", s.minute) || !table("volume", s.volume)) return std::nullopt;
    if (!(in >> word) || word != "settings" || !(in >> s.settings[0] >> s.settings[1] >> s.settings[2]))
        return std::nullopt;
    return s;
}

}  // namespace zave::testing
