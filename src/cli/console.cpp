#include "cli/console.h"

#include <cstdio>

#include "device/eeprom_question_box.h"
#include "link/datemask.h"

namespace zave::cli {

namespace {

constexpr int kBarWidth = 40;

}  // namespace

std::string oneLine(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '\n' ? ' ' : c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char buffer[8];
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F: the C1 controls, CSI among them.
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned char>(text[++i]));
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void Console::print(std::ostream& stream, std::string_view text) {
    clearBar();
    stream << escapeControls(text) << '\n';
    stream.flush();
}

void Console::line(std::string_view text) {
    switch (mode_) {
    case OutputMode::Text: print(ctx_.out, text); break;
    case OutputMode::Quiet: held_.emplace_back(text); break;
    case OutputMode::Json: break;
    }
}

void Console::warning(std::string_view text) { print(ctx_.err, "zavectl: " + std::string(text)); }

void Console::error(std::string_view reason, std::string_view text, const Json& detail) {
    warning(text);
    Json entry{{"reason", reason}, {"message", text}};
    entry.update(detail);
    report_["errors"].push_back(std::move(entry));
}

void Console::logLine(std::string_view text, bool failed) {
    report_["log"].push_back(text);
    if (failed) print(ctx_.err, text);
    else line(text);
}

void Console::release() {
    for (const std::string& text : held_) print(ctx_.out, text);
    held_.clear();
}

void Console::finish(int exit) {
    clearBar();
    if (mode_ == OutputMode::Quiet && exit != 0) release();
    if (mode_ != OutputMode::Json) return;
    report_["exit"] = exit;
    if (!report_.contains("errors")) report_["errors"] = Json::array();
    ctx_.out << jsonText(report_);
    ctx_.out.flush();
}

void Console::drawBar(int percent) {
    if (!ctx_.progressBar) return;
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    const int filled = percent * kBarWidth / 100;
    ctx_.err << "\r[" << std::string(static_cast<size_t>(filled), '#')
             << std::string(static_cast<size_t>(kBarWidth - filled), '.') << "] " << percent << "%  ";
    ctx_.err.flush();
    barShown_ = true;
}

void Console::clearBar() {
    if (!barShown_) return;
    ctx_.err << '\r' << std::string(kBarWidth + 10, ' ') << '\r';
    ctx_.err.flush();
    barShown_ = false;
}

void CliLog::logLine(std::string_view text, LogMode mode) {
    switch (mode) {
    case LogMode::Clear: pending_.clear(); break;
    case LogMode::Plain: pending_.emplace_back(text); break;
    case LogMode::Stamped: pending_.push_back(stampedLogText(clock_.now(), text)); break;
    }
}

void CliLog::flush(bool failed) {
    for (std::string& line : pending_) {
        console_.logLine(line, failed);
        printed_.push_back(std::move(line));
    }
    pending_.clear();
}

bool parseEepromPolicy(std::string_view text, EepromPolicy& policy) {
    if (text == "retry") policy = EepromPolicy::Retry;
    else if (text == "skip") policy = EepromPolicy::Skip;
    else if (text == "abort") policy = EepromPolicy::Abort;
    else return false;
    return true;
}

MessageAnswer CliBoxes::show(std::string_view title, std::string_view text, MessageIcon, MessageButtons buttons) {
    console_.warning(std::string(title) + " " + oneLine(text));
    switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::YesNoCancel: break;
    }
    return MessageAnswer::Cancel;
}

EepromAnswer CliEepromAnswers::askEepromFault(const EepromFault& fault) {
    ++reports_;
    EepromAnswer answer = EepromAnswer::GiveUp;
    std::string what = "связь разорвана";
    if (policy_ == EepromPolicy::Retry) {
        answer = EepromAnswer::Retry;
        what = "повтор операции";
    } else if (policy_ == EepromPolicy::Skip && fault.query) {
        answer = EepromAnswer::Skip;
        what = "ошибка пропущена, данные ответа заменены значением 255";
        ++skipped_;
    } else if (policy_ == EepromPolicy::Skip) {
        what = "команду записи пропустить нельзя, связь разорвана";
    }
    console_.warning(std::string(eepromFaultHeadline(fault.chip)) + ": " + what);
    return answer;
}

void CliProgress::openProgressWindow() {
    log_.flush();
    console_.drawBar(0);
}

// The outcome's log lines are printed by the caller, which knows whether
// they tell of a failure.
void CliProgress::closeProgressWindow() { console_.clearBar(); }

void CliProgress::setProgress(int value) { console_.drawBar(value); }

bool CliProgress::stopRequested() {
    // Said with the operation's failure.
    if (!stopped_ && ctx_.interrupted()) stopped_ = true;
    return stopped_;
}

}  // namespace zave::cli
