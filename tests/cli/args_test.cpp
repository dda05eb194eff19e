#include "cli/args.h"

#include <gtest/gtest.h>

namespace zave::cli {
namespace {

const std::vector<OptionDef> kOptions = {{"--port", true}, {"--json", false}, {"--if-drift", true}};

TEST(CliArgs, Accepted) {
    struct Row {
        std::vector<std::string> args;
        std::vector<std::string> operands;
        std::string port;  // empty: not given
        bool json;
        bool help;
    } rows[] = {
        {{}, {}, "", false, false},
        {{"a.ptm"}, {"a.ptm"}, "", false, false},
        {{"--port", "COM3", "a.ptm"}, {"a.ptm"}, "COM3", false, false},
        {{"a.ptm", "--port=COM3"}, {"a.ptm"}, "COM3", false, false},
        {{"--json", "a.ptm", "b.ptm"}, {"a.ptm", "b.ptm"}, "", true, false},
        {{"--", "--json"}, {"--json"}, "", false, false},  // an operand after "--"
        {{"-"}, {"-"}, "", false, false},
        {{"-h"}, {}, "", false, true},
        {{"a.ptm", "--help"}, {"a.ptm"}, "", false, true},
        {{"--port", "--json"}, {}, "--json", false, false},  // the next word is the value
    };
    for (const Row& r : rows) {
        std::string error;
        const auto parsed = parseArgs(r.args, kOptions, error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->operands, r.operands);
        const std::string* port = parsed->value("--port");
        EXPECT_EQ(port ? *port : std::string(), r.port);
        EXPECT_EQ(parsed->has("--json"), r.json);
        EXPECT_EQ(parsed->help, r.help);
    }
}

TEST(CliArgs, Refused) {
    struct Row {
        std::vector<std::string> args;
        const char* error;
    } rows[] = {
        {{"--colour"}, "неизвестный параметр --colour"},
        {{"--port"}, "у параметра --port нет значения"},
        {{"--json=yes"}, "параметр --json не принимает значения"},
        {{"--json", "--json"}, "параметр --json указан дважды"},
        {{"--port", "COM1", "--port=COM2"}, "параметр --port указан дважды"},
    };
    for (const Row& r : rows) {
        std::string error;
        EXPECT_FALSE(parseArgs(r.args, kOptions, error));
        EXPECT_EQ(error, r.error);
    }
}

TEST(CliArgs, Seconds) {
    EXPECT_EQ(secondsOption("0", 100), 0);
    EXPECT_EQ(secondsOption("100", 100), 100);
    for (const char* bad : {"101", "-1", "+5", "1.5", "", "5s", " 5", "9999999999999"})
        EXPECT_FALSE(secondsOption(bad, 100)) << bad;
}

}  // namespace
}  // namespace zave::cli
