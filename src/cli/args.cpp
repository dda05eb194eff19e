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
        size_t eq = arg.find('=');
        std::string name = arg.substr(0, eq);
        std::string attached;  // "-pCOM4": the value after the short name
        if (arg[1] != '-') {
            const auto shortOption = std::find_if(options.begin(), options.end(),
                                                  [&](const OptionDef& o) { return o.shortName == arg[1]; });
            if (shortOption == options.end()) {
                error = "неизвестный параметр " + arg.substr(0, 2);
                return std::nullopt;
            }
            name = std::string(shortOption->name);
            eq = std::string::npos;
            if (arg.size() > 2) {
                if (!shortOption->takesValue) {
                    error = "неизвестный параметр " + arg;
                    return std::nullopt;
                }
                attached = arg.substr(2);
            }
        }
        const auto option = std::find_if(options.begin(), options.end(), [&](const OptionDef& o) { return o.name == name; });
        if (option == options.end()) {
            std::vector<std::string_view> names;
            for (const OptionDef& o : options) names.push_back(o.name);
            names.push_back("--help");
            error = "неизвестный параметр " + name + suggestion(name, names);
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
        if (!attached.empty()) {
            value = attached;
        } else if (eq != std::string::npos) {
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

namespace {

size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string_view closestName(std::string_view word, const std::vector<std::string_view>& candidates) {
    std::string_view best;
    size_t bestDistance = word.size() / 3 + 1;
    for (std::string_view c : candidates) {
        const size_t d = editDistance(word, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    if (!best.empty() || word.size() < 2) return best;
    std::string_view prefixOf;
    for (std::string_view c : candidates) {
        if (c.substr(0, word.size()) != word) continue;
        if (!prefixOf.empty()) return {};
        prefixOf = c;
    }
    return prefixOf;
}

std::string suggestion(std::string_view word, const std::vector<std::string_view>& candidates) {
    const std::string_view best = closestName(word, candidates);
    return best.empty() ? std::string() : "; может быть, " + std::string(best) + "?";
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
