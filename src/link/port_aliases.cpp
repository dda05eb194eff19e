#include "link/port_aliases.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <toml++/toml.h>

#include "link/port_names.h"

namespace zave {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

}  // namespace

std::string portSettingsPath() {
#ifdef _WIN32
    const std::string appData = environment("APPDATA");
    return appData.empty() ? std::string() : appData + "\\zave\\zavectl.toml";
#else
    const std::string config = environment("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/') return config + "/zave/zavectl.toml";
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + "/.config/zave/zavectl.toml";
#endif
}

std::optional<std::string> comPortName(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const std::string& name : portSelectorNames())
        if (name == upper) return name;
    return std::nullopt;
}

PortAliases loadPortAliases(const std::string& path) {
    PortAliases result;
    if (path.empty()) return result;
    std::error_code ec;
    const std::filesystem::path file = utf8Path(path);
    if (!std::filesystem::exists(file, ec)) {
        if (ec) result.error = path + ": файл настроек не читается (" + ec.message() + ")";
        return result;
    }
    result.fileFound = true;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        result.error = path + ": файл настроек не читается";
        return result;
    }
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        result.error = path + ": файл настроек не читается";
        return result;
    }
    toml::parse_result parsed = toml::parse(content, path);
    if (!parsed) {
        const toml::parse_error& e = parsed.error();
        result.error = path + ":" + std::to_string(e.source().begin.line) + ": неверный файл настроек: " +
                       std::string(e.description());
        return result;
    }
    const toml::node* ports = parsed.table().get("ports");
    if (ports == nullptr) return result;
    const toml::table* table = ports->as_table();
    if (table == nullptr) {
        result.error = path + ": [ports] должно быть таблицей имён портов";
        return result;
    }
    for (const auto& [key, value] : *table) {
        const std::optional<std::string> port = value.value<std::string>();
        if (!value.is_string() || !port) {
            result.error = path + ": ports." + std::string(key.str()) + ": ожидается текст (COMn или путь к устройству)";
            result.ports.clear();
            return result;
        }
        result.ports.emplace(std::string(key.str()), *port);
    }
    return result;
}

PortChoice choosePort(std::string_view text, const PortAliases& aliases, const std::string& settingsPath) {
    PortChoice choice;
    if (const std::optional<std::string> com = comPortName(text)) {
        choice.port = *com;
        return choice;
    }
    if (isDevicePath(text)) {
        choice.port = std::string(text);
        return choice;
    }
    const auto it = aliases.ports.find(text);
    if (it == aliases.ports.end()) {
        choice.error = "неверное имя порта \"" + std::string(text) +
                       "\": ожидается COM1 … COM200, путь к устройству или имя из файла настроек" +
                       (settingsPath.empty() ? std::string() : " " + settingsPath);
        if (!aliases.error.empty()) choice.error += " (" + aliases.error + ")";
        return choice;
    }
    if (const std::optional<std::string> com = comPortName(it->second)) choice.port = *com;
    else if (isDevicePath(it->second)) choice.port = it->second;
    if (!choice.port.empty()) choice.alias = it->first;
    else
        choice.error = "имя порта \"" + it->first + "\" в " + settingsPath + " ведёт к \"" + it->second +
                       "\": ожидается COM1 … COM200 или путь к устройству";
    return choice;
}

}  // namespace zave
