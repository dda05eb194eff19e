#include "support/fakes.h"

#include "link/datemask.h"

namespace zave::testing {

MessageAnswer FakeMessageBoxes::show(std::string_view title, std::string_view text, MessageIcon icon,
                                     MessageButtons buttons) {
    shown.push_back({std::string(title), std::string(text), icon, buttons});
    if (!answers.empty()) {
        MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
}

void FakeLog::logLine(std::string_view text, LogMode mode) {
    switch (mode) {
    case LogMode::Clear: lines.clear(); break;
    case LogMode::Plain: lines.emplace_back(text); break;
    case LogMode::Stamped: lines.push_back(stampedLogText(stampTime, text)); break;
    }
}

}  // namespace zave::testing
