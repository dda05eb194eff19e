#include "cli/console.h"

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

void Console::line(std::string_view text) {
    clearBar();
    ctx_.out << text << '\n';
    ctx_.out.flush();
}

void Console::warning(std::string_view text) {
    clearBar();
    ctx_.err << "zavectl: " << text << '\n';
    ctx_.err.flush();
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

void CliLog::flush() {
    for (std::string& line : pending_) {
        console_.line(line);
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

void CliProgress::closeProgressWindow() {
    console_.clearBar();
    log_.flush();
}

void CliProgress::setProgress(int value) { console_.drawBar(value); }

bool CliProgress::stopRequested() {
    if (!stopped_ && ctx_.interrupted()) {
        stopped_ = true;
        console_.warning("прервано оператором");
    }
    return stopped_;
}

}  // namespace zave::cli
