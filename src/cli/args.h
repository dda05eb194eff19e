// The options and operands of one subcommand.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zave::cli {

struct OptionDef {
    std::string_view name;  // "--port"
    bool takesValue = false;
};

struct ParsedArgs {
    std::vector<std::string> operands;
    std::map<std::string, std::string, std::less<>> values;  // options with a value
    std::vector<std::string> flags;                          // options without one
    bool help = false;                                       // --help or -h

    bool has(std::string_view flag) const;
    const std::string* value(std::string_view option) const;
};

// "--name value", "--name=value", flags, "--" ends the options. Unknown or
// repeated options, a missing value, or a value given to a flag are errors
// (text in `error`, Russian).
std::optional<ParsedArgs> parseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& options,
                                    std::string& error);

// A whole number 0..max written in decimal digits only.
std::optional<long long> secondsOption(std::string_view text, long long max);

}  // namespace zave::cli
