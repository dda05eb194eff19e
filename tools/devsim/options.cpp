#include "options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "link/port_names.h"

namespace zave::devsim {

namespace {

const char kUsage[] =
    "Usage: zave-devsim [options]\n"
    "Simulates the announcer on a pseudo-terminal reachable as a COM port.\n"
    "The first line printed is \"port <name> <device path>\"; then one trace line\n"
    "per frame received (\"rx <frame>\") and per answer sent (\"tx <answer>\"),\n"
    "plus \"sim ...\", \"clock ...\", \"hour a..b\", \"settings ...\" for accepted commands.\n"
    "\n"
    "  --port COMn          port name of the link (default COM200)\n"
    "  --type N             device type in status replies (default 24)\n"
    "  --state FILE         load tables, settings and clock from FILE; save after every change\n"
    "  --delay-ms N         wait N ms before answering a frame; frames that come\n"
    "                       meanwhile wait their turn, as in a device that handles\n"
    "                       one frame at a time\n"
    "  --delay-ms MIN:MAX   wait a time drawn afresh for every frame, MIN..MAX ms\n"
    "  --seed N             seed of those draws (default 1): the same seed, the same delays\n"
    "  --delay-frames N     delay only the first N frames received\n"
    "  --pace BAUD          send and take characters no faster than the line (10 bits a character)\n"
    "Faults (may be combined):\n"
    "  --silent             never answer\n"
    "  --mute-after N       answer the first N frames only\n"
    "  --fail-first N       answer \"of#\" to the first N arrivals of a frame in a row\n"
    "  --eeprom KIND[:CODES] report a damaged EEPROM: KIND os, ol or both. Commands are\n"
    "                       answered \"os#\", \"ol#\" or \"os#ol#\" instead of \"on#\"; queries\n"
    "                       carry their data and checksum followed by the same tokens.\n"
    "                       CODES: comma-separated hex codes it applies to (default all).\n"
    "                       A command so answered stores nothing.\n"
    "  --eeprom-accept      put \"on#\" before the EEPROM tokens\n"
    "  --eeprom-times N     report the EEPROM fault for the first N matching frames only\n"
    "  --no-terminator      leave out the final carriage return of every answer\n"
    "  --split N:MS         send every answer in N pieces with MS ms between them\n"
    "  --drop N             leave every N-th frame received unanswered and unused\n"
    "  --refuse CODES       answer \"of#\" to frames with these comma-separated hex codes\n"
    "  --twice MS           answer every frame twice, the copy MS ms after the answer\n"
    "                       (traced \"twice <answer>\")\n"
    "  --stray N:MS         send a lone \"#\\r\" MS ms after every N-th answer\n"
    "                       (traced \"stray\")\n"
    "  --bad-checksum       query replies carry a wrong checksum\n"
    "  --bad-clock MODE     status replies carry a bad date: hour (hour 24), april\n"
    "                       (31 April), alternate (hour 24, then 31 April, by turns), both\n"
    "  --help               this text\n"
    "Bad frames (length, hex digits, checksum, unknown code, values out of range) get \"of#\".\n"
    "SIGINT or SIGTERM ends the simulator and removes its port link.\n";

}  // namespace

void fail(const std::string& message) {
    std::fprintf(stderr, "zave-devsim: %s\n", message.c_str());
    std::exit(2);
}

namespace {

long parseNumber(const std::string& option, const std::string& text, long lo, long hi) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        fail(option + ": expected a number " + std::to_string(lo) + ".." + std::to_string(hi) + ", got \"" + text +
             "\"");
    return v;
}

bool validPortName(const std::string& name) {
    for (const auto& n : zave::portSelectorNames())
        if (n == name) return true;
    return false;
}

// Comma-separated hexadecimal codes 00..FF.
std::set<int> parseCodes(const std::string& option, const std::string& list) {
    std::set<int> codes;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string code = list.substr(start, comma - start);
        char* end = nullptr;
        const long c = std::strtol(code.c_str(), &end, 16);
        if (code.empty() || *end != '\0' || c < 0 || c > 255) fail(option + ": bad hex code \"" + code + "\"");
        codes.insert(int(c));
        start = comma + 1;
    }
    return codes;
}

}  // namespace

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        auto next = [&]() -> std::string {
            if (hasValue) return value;
            if (i + 1 >= argc) fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--port") {
            o.port = next();
            if (!validPortName(o.port)) fail("--port: expected COM1..COM200, got \"" + o.port + "\"");
        } else if (arg == "--type") {
            o.type = int(parseNumber(arg, next(), 0, 255));
        } else if (arg == "--state") {
            o.stateFile = next();
        } else if (arg == "--delay-ms") {
            const std::string v = next();
            const size_t colon = v.find(':');
            o.delayMinMs = parseNumber(arg, v.substr(0, colon), 0, 600000);
            o.delayMaxMs = colon == std::string::npos ? o.delayMinMs
                                                      : parseNumber(arg, v.substr(colon + 1), o.delayMinMs, 600000);
        } else if (arg == "--seed") {
            o.seed = (unsigned long)parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--delay-frames") {
            o.delayFrames = parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--split") {
            const std::string v = next();
            const size_t colon = v.find(':');
            if (colon == std::string::npos) fail("--split: expected PIECES:MS, got \"" + v + "\"");
            o.splitPieces = parseNumber(arg, v.substr(0, colon), 1, 64);
            o.splitPauseMs = parseNumber(arg, v.substr(colon + 1), 0, 600000);
        } else if (arg == "--twice") {
            o.twiceAfterMs = parseNumber(arg, next(), 0, 600000);
        } else if (arg == "--stray") {
            const std::string v = next();
            const size_t colon = v.find(':');
            if (colon == std::string::npos) fail("--stray: expected EVERY:MS, got \"" + v + "\"");
            o.strayEvery = parseNumber(arg, v.substr(0, colon), 1, LONG_MAX);
            o.strayAfterMs = parseNumber(arg, v.substr(colon + 1), 0, 600000);
        } else if (arg == "--drop") {
            o.faults.dropEvery = parseNumber(arg, next(), 1, LONG_MAX);
        } else if (arg == "--refuse") {
            o.faults.refuseCodes = parseCodes(arg, next());
        } else if (arg == "--pace") {
            o.pace = parseNumber(arg, next(), 1, 4000000);
        } else if (arg == "--silent") {
            o.faults.silent = true;
        } else if (arg == "--mute-after") {
            o.faults.muteAfter = parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--fail-first") {
            o.faults.failFirst = parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--eeprom") {
            const std::string v = next();
            const size_t colon = v.find(':');
            const std::string kind = v.substr(0, colon);
            if (kind == "os") o.faults.eepromOs = true;
            else if (kind == "ol") o.faults.eepromOl = true;
            else if (kind == "both") o.faults.eepromOs = o.faults.eepromOl = true;
            else fail("--eeprom: expected os, ol or both, got \"" + kind + "\"");
            if (colon != std::string::npos) o.faults.eepromCodes = parseCodes(arg, v.substr(colon + 1));
        } else if (arg == "--eeprom-accept") {
            o.faults.eepromAccept = true;
        } else if (arg == "--eeprom-times") {
            o.faults.eepromTimes = parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--no-terminator") {
            o.faults.noTerminator = true;
        } else if (arg == "--bad-checksum") {
            o.faults.badChecksum = true;
        } else if (arg == "--bad-clock") {
            const std::string v = next();
            if (v == "hour") o.faults.badClock = BadClock::Hour;
            else if (v == "april") o.faults.badClock = BadClock::April;
            else if (v == "alternate") o.faults.badClock = BadClock::Alternate;
            else if (v == "both") o.faults.badClock = BadClock::Both;
            else fail("--bad-clock: expected hour, april, alternate or both, got \"" + v + "\"");
        } else {
            fail("unknown option \"" + arg + "\" (see --help)");
        }
    }
    return o;
}

}  // namespace zave::devsim
