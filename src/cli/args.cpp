#include "cli/args.h"

#include <algorithm>

namespace zave::cli {

bool ParsedArgs::has(std::string_view flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const std::string* ParsedArgs::value(std::string_view option) const {
    const auto it = values.find(option);
    return it == values.end() ? nullptr : &it->second;
}

std::optional<ParsedArgs> parseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& options,
                                    std::string& error) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const auto option = std::find_if(options.begin(), options.end(), [&](const OptionDef& o) { return o.name == name; });
        if (option == options.end()) {
            error = "неизвестный параметр " + name;
            return std::nullopt;
        }
        if (parsed.has(name) || parsed.value(name)) {
            error = "параметр " + name + " указан дважды";
            return std::nullopt;
        }
        if (!option->takesValue) {
            if (eq != std::string::npos) {
                error = "параметр " + name + " не принимает значения";
                return std::nullopt;
            }
            parsed.flags.push_back(name);
            continue;
        }
        std::string value;
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = "у параметра " + name + " нет значения";
            return std::nullopt;
        }
        parsed.values.emplace(name, std::move(value));
    }
    return parsed;
}

std::optional<long long> secondsOption(std::string_view text, long long max) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > max) return std::nullopt;
    return value;
}

}  // namespace zave::cli
