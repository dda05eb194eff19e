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
    char shortName = 0;     // 'p' for "-p"; 0: none
};

struct ParsedArgs {
    std::vector<std::string> operands;
    std::map<std::string, std::string, std::less<>> values;  // options with a value
    std::vector<std::string> flags;                          // options without one
    bool help = false;                                       // --help or -h

    bool has(std::string_view flag) const;
    const std::string* value(std::string_view option) const;
};

// "--name value", "--name=value", flags, "--" ends the options; a short form
// "-p value" or "-pvalue" counts as its long name. Unknown or repeated
// options, a missing value, or a value given to a flag are errors (text in
// `error`, Russian; an unknown option gets the closest known one suggested).
std::optional<ParsedArgs> parseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& options,
                                    std::string& error);

// The candidate closest to a mistyped word (at most a third of its letters
// off, or the word a prefix of exactly one candidate); empty when none is.
std::string_view closestName(std::string_view word, const std::vector<std::string_view>& candidates);
// "; может быть, NAME?" for the closest candidate, or nothing.
std::string suggestion(std::string_view word, const std::vector<std::string_view>& candidates);

// A whole number 0..max written in decimal digits only.
std::optional<long long> secondsOption(std::string_view text, long long max);

}  // namespace zave::cli
